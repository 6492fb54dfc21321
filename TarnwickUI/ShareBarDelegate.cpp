#include "TarnwickUI/ShareBarDelegate.h"

#include "TarnwickUI/TreeListModel.h"
#include "TarnwickUI/WidgetStyle.h"

#include <QApplication>
#include <QPainter>

#include <algorithm>

namespace tarnwick {
namespace {

constexpr qreal margin = 4;
constexpr qreal gap = 6;

/// The widest text the column shows, so that every bar has the same room.
int textRoom(const QFontMetrics &metrics) { return metrics.horizontalAdvance(QStringLiteral("100.0%")); }

} // namespace

QRectF ShareBarDelegate::barRect(const QRectF &cell, double share, int textWidth) {
  const qreal room = cell.width() - 2 * margin - gap - textWidth;
  const qreal length = std::clamp(share, 0.0, 1.0) * std::max<qreal>(0, room);
  const qreal height = std::min<qreal>(8, cell.height() - 2 * margin);
  return {cell.left() + margin, cell.center().y() - height / 2, length, height};
}

void ShareBarDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const {
  QStyleOptionViewItem background = option;
  initStyleOption(&background, index);
  background.text.clear();
  const QWidget *widget = option.widget;
  QStyle *style = widget ? widget->style() : QApplication::style();
  style->drawControl(QStyle::CE_ItemViewItem, &background, painter, widget); // selection and hover

  const int textWidth = textRoom(option.fontMetrics);
  const QRectF bar = barRect(option.rect, index.data(TreeListModel::shareRole).toDouble(), textWidth);
  painter->save();
  painter->setRenderHint(QPainter::Antialiasing);
  const QRectF track(bar.left(), bar.top(), option.rect.width() - 2 * margin - gap - textWidth, bar.height());
  painter->setPen(Qt::NoPen);
  painter->setBrush(WidgetStyle::ink(0.06));
  painter->drawRoundedRect(track, 2, 2);
  const bool selected = option.state & QStyle::State_Selected;
  if (bar.width() > 0) {
    // On a selected row the accent is the background: the bar turns white.
    painter->setBrush(selected ? WidgetStyle::white(0.85) : WidgetStyle::accent(0.8));
    painter->drawRoundedRect(bar, 2, 2);
  }
  painter->setPen(option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
  const QRectF text(option.rect.right() - margin - textWidth, option.rect.top(), textWidth, option.rect.height());
  painter->drawText(text, Qt::AlignRight | Qt::AlignVCenter, index.data(Qt::DisplayRole).toString());
  painter->restore();
}

QSize ShareBarDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const {
  QSize size = QStyledItemDelegate::sizeHint(option, index);
  size.setWidth(int(2 * margin + gap) + textRoom(option.fontMetrics) + 60);
  return size;
}

} // namespace tarnwick
