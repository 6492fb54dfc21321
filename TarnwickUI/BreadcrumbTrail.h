#pragma once

#include <QWidget>

#include <vector>

class QAbstractButton;

namespace tarnwick {

/// The breadcrumb bar's crumbs and the chevrons between them, in one row
/// clipped to the width the bar gives it.
///
/// A row that fits is shown whole. One that does not shows as many of its
/// newest crumbs as fit, each whole, after a "…" crumb that stands for the
/// older ones, which are hidden; the newest crumb always shows, elided
/// should even it alone be too wide. Where everything goes follows from
/// the present width and the items' own sizes alone, so any order of chain
/// changes and resizes ends in the same picture.
///
/// Threads: GUI thread only.
class BreadcrumbTrail : public QWidget {
  Q_OBJECT

public:
  /// `overflowButton` becomes a child of the trail, which shows, hides and
  /// places it; what a click on it does is the caller's.
  explicit BreadcrumbTrail(QAbstractButton *overflowButton, QWidget *parent = nullptr);

  /// Replaces the row: crumbs at even positions, each chevron between the
  /// crumbs either side of it. The widgets become children of the trail;
  /// those of the previous row are left to the caller.
  void setItems(std::vector<QWidget *> items);
  /// How many of the oldest crumbs are out of view, behind "…".
  int crumbsOutOfView() const { return crumbsOutOfView_; }

  /// The whole row, as wide as it is without "…".
  QSize sizeHint() const override;
  /// The trail can shrink to nothing: the bar's buttons come first.
  QSize minimumSizeHint() const override;

protected:
  void resizeEvent(QResizeEvent *event) override;

private:
  /// The first item shown, an even index: the oldest crumb that, with all
  /// after it, fits in `room`; the newest crumb's when none else does.
  std::size_t firstShown(int room) const;
  void place();

  QAbstractButton *overflowButton_;
  std::vector<QWidget *> items_;
  int crumbsOutOfView_ = 0;
};

} // namespace tarnwick
