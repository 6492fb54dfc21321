#pragma once

#include "TarnwickCore/Tree/DiskNode.h"

#include <QWidget>

#include <optional>
#include <vector>

class QAbstractButton;
class QLabel;
class QMenu;

namespace tarnwick {

class BreadcrumbCrumbButton;
class BreadcrumbTrail;

/// The strip above the treemap: a back button, the chain of folders from
/// the scan root to the shown folder as clickable crumbs, a badge with the
/// shown folder's size and item count, and a button that rescans the shown
/// folder.
///
/// The bar keeps no navigation state of its own: its owner calls setState
/// after every navigation and acts on the signals. Of a chain wider than
/// the bar, as many of the newest crumbs show as fit, each whole, after a
/// "…" crumb that lists the others; the buttons and the badge never move
/// out.
///
/// Threads: GUI thread only.
class TreemapBreadcrumbBar : public QWidget {
  Q_OBJECT

public:
  explicit TreemapBreadcrumbBar(QWidget *parent = nullptr);

  /// `chain` runs from the scan root (first) to the shown folder (last);
  /// the badge shows `currentNode` and is hidden without one. May be called
  /// from a handler of this bar's own signals: replaced crumbs are deleted
  /// once control returns to the event loop.
  void setState(std::vector<DiskNode> chain, std::optional<DiskNode> currentNode, bool canGoBack);

  // Read-only views for tests and accessibility checks.
  int crumbCount() const { return int(crumbs_.size()); }
  const BreadcrumbCrumbButton *crumb(int index) const { return crumbs_.at(std::size_t(index)); }
  /// Chevrons drawn between crumbs.
  int separatorCount() const { return int(separators_.size()); }
  QAbstractButton *backButton() const { return backButton_; }
  QAbstractButton *rescanButton() const { return rescanButton_; }
  /// The "…" crumb, shown while older crumbs are out of view.
  QAbstractButton *overflowButton() const;
  /// The menu the "…" crumb opens, owned by `parent`: the crumbs out of
  /// view, oldest first.
  QMenu *overflowMenu(QWidget *parent);
  bool isBadgeShown() const;
  /// "<size> • <item count>", as drawn.
  QString badgeText() const;
  /// Marks the tree as read only in part (a scan stopped early): a
  /// "Partial" badge whose tooltip is `note`; an empty note hides it.
  void setPartialNote(const QString &note);
  /// The note of the badge shown, or nothing when none is.
  QString partialNote() const;

signals:
  void navigateTo(tarnwick::NodeID id);
  void goBack();
  /// The shown folder is to be scanned again (its owner knows which it is).
  void rescan();

protected:
  void paintEvent(QPaintEvent *event) override;

private:
  void clearCrumbs();

  QAbstractButton *backButton_;
  QAbstractButton *rescanButton_;
  BreadcrumbCrumbButton *overflowButton_;
  BreadcrumbTrail *trail_;
  QWidget *badge_;
  QLabel *partialBadge_;
  std::vector<BreadcrumbCrumbButton *> crumbs_;
  std::vector<NodeID> crumbIDs_; // of crumbs_, in the same order
  std::vector<QWidget *> separators_;
};

} // namespace tarnwick
