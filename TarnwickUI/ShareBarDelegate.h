#pragma once

#include <QStyledItemDelegate>

namespace tarnwick {

/// Paints the tree list's "% of parent" cells: a bar as long as the share
/// (TreeListModel::shareRole, 0 to 1) of the room left of the text, and the
/// percentage right-aligned beside it, over the usual row background.
///
/// Threads: GUI thread only.
class ShareBarDelegate : public QStyledItemDelegate {
  Q_OBJECT

public:
  using QStyledItemDelegate::QStyledItemDelegate;

  void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
  QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

  /// The bar's rectangle inside a cell of `cell`, for `share`, with text of
  /// `textWidth` pixels beside it; empty when the share is 0.
  static QRectF barRect(const QRectF &cell, double share, int textWidth);
};

} // namespace tarnwick
