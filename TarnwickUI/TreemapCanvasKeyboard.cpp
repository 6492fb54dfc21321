// The treemap canvas from the keyboard: the keyboard's tile (the
// selection, or the tail it rests on), arrows between tiles, Enter, Delete,
// Escape, the menu key and the focus ring.
#include "TarnwickUI/TreemapCanvasView.h"

#include "TarnwickUI/NestedTreemapPainter.h"
#include "TarnwickUI/SquarifiedTreemapLayout.h"
#include "TarnwickUI/TreemapAccessible.h"
#include "TarnwickUI/TreemapKeyboardNavigation.h"
#include "TarnwickUI/TreemapTooltip.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>

#include <algorithm>

namespace tarnwick {

std::size_t TreemapCanvasView::tileCount() const { return scene_.isEmpty() ? rects_.size() : scene_.tiles().size(); }

std::size_t TreemapCanvasView::firstLevelCount() const {
  if (scene_.isEmpty())
    return rects_.size();
  const auto deeper = std::ranges::find_if(scene_.tiles(), [](const NestedTile &tile) { return tile.depth > 0; });
  return std::size_t(deeper - scene_.tiles().begin());
}

const CanvasRect &TreemapCanvasView::frameOf(std::size_t index) const {
  return scene_.isEmpty() ? rects_[index].frame : scene_.tiles()[index].frame;
}

std::optional<std::size_t> TreemapCanvasView::keyboardIndex() const {
  if (selectedNodeID_)
    return indexOfNode(*selectedNodeID_);
  // Only a tail holds the keyboard without being selected.
  if (keyTile_ && *keyTile_ < tileCount() && describeTile(*keyTile_).isAggregatedTail)
    return keyTile_;
  return std::nullopt;
}

void TreemapCanvasView::moveKeyboardTile(int key) {
  using Direction = TreemapKeyboardNavigation::Direction;
  const std::optional<std::size_t> from = keyboardIndex();
  std::optional<std::size_t> to;
  if (!from) {
    to = tileCount() > 0 ? std::optional<std::size_t>(0) : std::nullopt; // the largest tile first
  } else {
    // In a nested view the arrows keep to the current tile's level; Enter
    // goes down a level, Backspace up.
    std::vector<std::size_t> peers;
    std::vector<CanvasRect> frames;
    for (std::size_t i = 0; i < tileCount(); ++i)
      if (scene_.isEmpty() || scene_.tiles()[i].depth == scene_.tiles()[*from].depth) {
        peers.push_back(i);
        frames.push_back(frameOf(i));
      }
    const Direction direction = key == Qt::Key_Left    ? Direction::left
                                : key == Qt::Key_Right ? Direction::right
                                : key == Qt::Key_Up    ? Direction::up
                                                       : Direction::down;
    const auto self = std::size_t(std::ranges::find(peers, *from) - peers.begin());
    if (const std::optional<std::size_t> next = TreemapKeyboardNavigation::neighbour(frames, self, direction))
      to = peers[*next];
  }
  if (!to)
    return;
  keyTile_ = to;
  const TreemapRect tile = describeTile(*to);
  emit selectionMoved(tile.isAggregatedTail ? std::nullopt : std::optional(tile.id));
  TreemapAccessible::announceKeyboardTile(this, *to);
  update();
}

void TreemapCanvasView::keyPressEvent(QKeyEvent *event) {
  if (tilesPending_) {
    QWidget::keyPressEvent(event);
    return;
  }
  if (!showsFocusRing_) {
    showsFocusRing_ = true;
    update();
  }
  const std::optional<std::size_t> current = keyboardIndex();
  switch (event->key()) {
  case Qt::Key_Left:
  case Qt::Key_Right:
  case Qt::Key_Up:
  case Qt::Key_Down:
    moveKeyboardTile(event->key());
    return;
  case Qt::Key_Return:
  case Qt::Key_Enter:
    if (current) {
      const TreemapRect tile = describeTile(*current);
      if (tile.isAggregatedTail)
        requestTail(tile, *current);
      else if (tile.node.isDirectory)
        requestDrillDown(tile);
    }
    return;
  case Qt::Key_Delete:
    // The same request as the action bar's: the guard decides.
    if (current && !cleaningRefusal_ && !describeTile(*current).isAggregatedTail)
      emit moveToTrash(describeTile(*current).node);
    return;
  case Qt::Key_Escape:
    if (current) {
      keyTile_.reset();
      emit selectionMoved(std::nullopt);
      update();
      return;
    }
    break; // nothing to clear: a dialog or the window may want it
  default:
    break;
  }
  QWidget::keyPressEvent(event);
}

// The ring shows where the keyboard is, as a focus ring should: from Tab or
// a shortcut, or once a key was pressed here; not for a click.
void TreemapCanvasView::focusInEvent(QFocusEvent *event) {
  QWidget::focusInEvent(event);
  const Qt::FocusReason reason = event->reason();
  showsFocusRing_ = reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason || reason == Qt::ShortcutFocusReason;
  update();
}

void TreemapCanvasView::focusOutEvent(QFocusEvent *event) {
  QWidget::focusOutEvent(event);
  showsFocusRing_ = false;
  update();
}

void TreemapCanvasView::paintKeyboardMarks(QPainter &painter) {
  const std::optional<std::size_t> current = keyboardIndex();
  if (current && !selectedNodeID_) // a tail: marked as a selection would be
    NestedTreemapPainter::paintMark(painter, frameOf(*current), true);
  if (!hasFocus() || !showsFocusRing_)
    return;
  painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
}

bool TreemapCanvasView::describeKeyboardTileForMenu(QContextMenuEvent *event, QPoint &at) {
  if (event->reason() != QContextMenuEvent::Keyboard)
    return false;
  const std::optional<std::size_t> current = keyboardIndex();
  if (!current)
    return false;
  // The menu acts on the keyboard's tile and opens over it, wherever the
  // pointer rests.
  hoveredIndex_ = current;
  hoveredRect_ = describeTile(*current);
  const CanvasRect &f = frameOf(*current);
  at = mapToGlobal(QPointF(f.x + f.width / 2, f.y + f.height / 2)).toPoint();
  return true;
}

} // namespace tarnwick
