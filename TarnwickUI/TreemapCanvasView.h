#pragma once

#include "TarnwickUI/TreemapRect.h"

#include <QImage>
#include <QPointF>
#include <QRectF>
#include <QWidget>

#include <optional>
#include <string>
#include <vector>

class QMenu;
class QVariantAnimation;

namespace tarnwick {

class TreemapTooltip;

/// Draws one folder's treemap tiles in a single pass and turns the pointer
/// into hover highlight, a tooltip, selection, drill-down and a context menu.
/// It owns only the tiles it was given (laid out by its owner for exactly
/// this widget's size, origin at the top-left corner) and its hover state;
/// selection comes in through setSelectedNodeID and goes out as a signal.
///
/// Threads: GUI thread only.
class TreemapCanvasView : public QWidget {
  Q_OBJECT

public:
  explicit TreemapCanvasView(QWidget *parent = nullptr);

  /// Replaces the tiles. While the pointer is over the canvas, the tile
  /// under it is hit-tested again at its last position, and the tooltip
  /// describes that one (or hides over no tile). After a drill-down, the new
  /// tiles zoom out of the entered tile.
  void setRects(std::vector<TreemapRect> rects);
  const std::vector<TreemapRect> &rects() const { return rects_; }
  void setSelectedNodeID(std::optional<NodeID> id);
  std::optional<NodeID> selectedNodeID() const { return selectedNodeID_; }
  /// Brings forward the files of one type (as fileTypeOf() names it): every
  /// other tile is dimmed. Nothing clears it.
  void setHighlightedFileType(std::optional<std::string> type);
  const std::optional<std::string> &highlightedFileType() const { return highlightedType_; }
  /// Starts the folder-change zoom from `from` (canvas coordinates) to the
  /// whole canvas; input stays live while it runs.
  void animateFolderChange(QRectF from);
  /// A short fade of the new tiles after the category filter changed.
  void animateFilterChange();

  const std::optional<TreemapRect> &hoveredRect() const { return hoveredRect_; }
  bool isHoverActive() const { return isHoverActive_; }
  QPointF cursorLocation() const { return cursorLocation_; }
  const TreemapTooltip *tooltip() const { return tooltip_; }

  /// The context menu for the hovered tile, owned by `parent`; empty when
  /// nothing is hovered.
  QMenu *contextMenuContent(QWidget *parent);

signals:
  /// A tile that cannot be entered (a file, or the tail) was clicked.
  void selectNode(const tarnwick::DiskNode &node);
  /// A folder tile asked to be entered.
  void drillDown(tarnwick::NodeID id);
  void moveToTrash(const tarnwick::DiskNode &node);
  /// "Rescan This Folder" on a folder tile.
  void rescanFolder(const tarnwick::DiskNode &node);
  /// When nothing is connected, the canvas reveals the path itself.
  void revealInFinder(const tarnwick::DiskNode &node);
  /// New tiles were set: another folder, tree, size or filter.
  void tilesChanged();

protected:
  void paintEvent(QPaintEvent *event) override;
  void mouseMoveEvent(QMouseEvent *event) override;
  void mouseReleaseEvent(QMouseEvent *event) override;
  void leaveEvent(QEvent *event) override;
  void changeEvent(QEvent *event) override;
  void contextMenuEvent(QContextMenuEvent *event) override;

private:
  void hover(QPointF location);
  /// A popup menu or a modal message is open: the tooltip stays hidden.
  bool isCovered() const;
  void requestDrillDown(const TreemapRect &tile);
  void reveal(const DiskNode &node);
  void renderTileLayer(qreal ratio);

  std::vector<TreemapRect> rects_;
  /// The tiles at rest (no hover, no selection) at the widget's size and
  /// pixel ratio; hovering and selecting repaint only one tile over it.
  QImage tileLayer_;
  std::optional<NodeID> selectedNodeID_;
  std::optional<std::string> highlightedType_;
  std::optional<TreemapRect> hoveredRect_;
  QPointF cursorLocation_;
  bool isHoverActive_ = false;
  TreemapTooltip *tooltip_;
  QVariantAnimation *zoom_;
  QRectF zoomFrom_;
  std::optional<QRectF> pendingZoom_; // set by a drill-down, used by the next setRects
};

} // namespace tarnwick
