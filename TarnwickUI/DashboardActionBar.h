#pragma once

#include "TarnwickCore/Tree/DiskNode.h"

#include <QWidget>

#include <optional>

class QLabel;
class QPushButton;

namespace tarnwick {

class ElidedLabel;

/// The strip under the treemap: what is selected (or the folder on screen),
/// with its category ("Folder" or "File" when none describes it), and the
/// actions on it: "Reveal" and "Move to Trash" for a selected item,
/// and "Smart Clean Category" always.
///
/// Threads: GUI thread only.
class DashboardActionBar : public QWidget {
  Q_OBJECT

public:
  explicit DashboardActionBar(QWidget *parent = nullptr);

  /// `subject` is described; the item buttons show only when `isSelection`.
  void setSubject(const std::optional<DiskNode> &subject, bool isSelection);
  /// Disables "Move to Trash" and "Smart Clean Category", with `reason` as
  /// their tooltip; without a reason they are enabled, with no tooltip.
  void setCleaningRefusal(const std::optional<QString> &reason);
  /// Disables "Move to Trash" alone, for the subject on show, with `reason`
  /// as its tooltip; the cleaning refusal, while there is one, goes first.
  void setTrashRefusal(const std::optional<QString> &reason);

  QString subjectName() const;
  QString subjectPath() const;
  /// The subject's category title, or "Folder" / "File".
  QString subjectKind() const;
  QPushButton *revealButton() const { return reveal_; }
  QPushButton *trashButton() const { return trash_; }
  QPushButton *smartCleanButton() const { return smartClean_; }

signals:
  void revealRequested(const tarnwick::DiskNode &node);
  void moveToTrashRequested(const tarnwick::DiskNode &node);
  void smartCleanRequested();

protected:
  void paintEvent(QPaintEvent *event) override;

private:
  std::optional<DiskNode> subject_;
  QLabel *icon_;
  ElidedLabel *name_;
  ElidedLabel *kind_;
  ElidedLabel *path_;
  QLabel *placeholder_;
  QWidget *subjectBox_;
  QPushButton *reveal_;
  QPushButton *trash_;
  QPushButton *smartClean_;
  std::optional<QString> cleaningRefusal_;
  std::optional<QString> trashRefusal_;

  void showTrashRefusal();
};

} // namespace tarnwick
