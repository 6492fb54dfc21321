#pragma once

#include "TarnwickUI/NestedSceneLoader.h"
#include "TarnwickUI/NestedTreemapScene.h"
#include "TarnwickUI/TreemapRect.h"

#include <QImage>
#include <QPointF>
#include <QRectF>
#include <QWidget>

#include <functional>
#include <optional>
#include <string>
#include <vector>

class QMenu;
class QVariantAnimation;

namespace tarnwick {

class TreemapTooltip;

/// Draws one folder's treemap in a single pass and turns the pointer into
/// hover highlight, a tooltip, selection, drill-down and a context menu. It
/// shows either one level of tiles (setRects) or a nested scene (setScene),
/// laid out by its owner for exactly this widget's size, origin at the
/// top-left corner; in a nested scene the pointer describes the deepest
/// tile under it. It owns only what it was given and its hover state;
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
  /// One level's tiles; empty while a nested scene is shown.
  const std::vector<TreemapRect> &rects() const { return rects_; }
  /// Replaces what is shown with a nested scene, as setRects does.
  void setScene(NestedTreemapScene scene);
  /// As setScene, with the tiles at rest painted already: the layer is used
  /// when it was painted for this widget's size and file type.
  void setScene(PaintedNestedScene painted);
  /// New tiles are on their way (laid out elsewhere): until setRects or
  /// setScene, the tiles on show are drawn stretched to the widget, and
  /// clicks, the menu and keys act on nothing, since what the tiles show
  /// may be gone. A drill-down's zoom waits for the new tiles.
  void setTilesPending(bool pending);
  bool areTilesPending() const { return tilesPending_; }
  /// The nested scene on show; empty while one level is shown.
  const NestedTreemapScene &scene() const { return scene_; }
  /// The tile of node `id` as the one-level view describes tiles, in either
  /// mode; nothing when it has none.
  std::optional<TreemapRect> tileFor(NodeID id) const;
  void setSelectedNodeID(std::optional<NodeID> id);
  std::optional<NodeID> selectedNodeID() const { return selectedNodeID_; }
  /// Brings forward the files of one type (as fileTypeOf() names it): every
  /// other tile is dimmed. Nothing clears it.
  void setHighlightedFileType(std::optional<std::string> type);
  const std::optional<std::string> &highlightedFileType() const { return highlightedType_; }
  /// Fills tiles by how they changed since an older scan (inactive: by
  /// category). The owner passes only a colouring that describes the tree
  /// the tiles come from.
  void setChangeColouring(ChangeColouring changes);
  const ChangeColouring &changeColouring() const { return changes_; }
  /// Starts the folder-change zoom from `from` (canvas coordinates) to the
  /// whole canvas; input stays live while it runs.
  void animateFolderChange(QRectF from);
  /// A short fade of the new tiles after the category filter changed.
  void animateFilterChange();

  const std::optional<TreemapRect> &hoveredRect() const { return hoveredRect_; }
  /// Whether the keyboard focus ring is drawn (focus came from the keyboard).
  bool showsFocusRing() const { return hasFocus() && showsFocusRing_; }
  bool isHoverActive() const { return isHoverActive_; }
  QPointF cursorLocation() const { return cursorLocation_; }
  const TreemapTooltip *tooltip() const { return tooltip_; }

  /// Tiles by index (in the rects, or the scene, breadth first), as
  /// assistive technology and the keyboard see them.
  std::size_t tileCount() const;
  /// How many tiles, from the first, make the first level.
  std::size_t firstLevelCount() const;
  const CanvasRect &frameOf(std::size_t index) const;
  TreemapRect describeTile(std::size_t index) const;
  /// The tile the keyboard acts on: the selected one, or the tail it was
  /// moved to.
  std::optional<std::size_t> keyboardIndex() const;
  /// The context menu for the hovered tile, owned by `parent`; empty when
  /// nothing is hovered.
  QMenu *contextMenuContent(QWidget *parent);
  /// Why "Move to Trash", the Delete key and "Rescan This Folder" do nothing
  /// here: the menu shows those items disabled, with `reason` as their
  /// tooltip. Nothing (the default) offers them.
  void setCleaningRefusal(std::optional<QString> reason) { cleaningRefusal_ = std::move(reason); }
  const std::optional<QString> &cleaningRefusal() const { return cleaningRefusal_; }
  /// Asked for the menu's item as the menu opens: a reason greys out "Move
  /// to Trash" alone, with the reason as its tooltip.
  void setTrashRefusalCheck(std::function<std::optional<QString>(const std::string &path)> check) {
    trashRefusalCheck_ = std::move(check);
  }

signals:
  /// A file tile was clicked.
  void selectNode(const tarnwick::DiskNode &node);
  /// The tail of `folder` was clicked: the children of the folder that have
  /// tiles of their own are `tiledSiblings` (the tail holds the rest).
  void openTail(tarnwick::NodeID folder, const std::vector<tarnwick::NodeID> &tiledSiblings);
  /// A folder tile asked to be entered.
  void drillDown(tarnwick::NodeID id);
  void moveToTrash(const tarnwick::DiskNode &node);
  /// "Rescan This Folder" on a folder tile.
  void rescanFolder(const tarnwick::DiskNode &node);
  /// When nothing is connected, the canvas reveals the path itself.
  void revealInFinder(const tarnwick::DiskNode &node);
  /// New tiles were set: another folder, tree, size or filter.
  void tilesChanged();
  /// The arrow keys or Escape moved the selection to `id` (nothing: cleared,
  /// or resting on a tail, which is not a node).
  void selectionMoved(std::optional<tarnwick::NodeID> id);

protected:
  void paintEvent(QPaintEvent *event) override;
  void mouseMoveEvent(QMouseEvent *event) override;
  void mouseReleaseEvent(QMouseEvent *event) override;
  void leaveEvent(QEvent *event) override;
  void changeEvent(QEvent *event) override;
  void contextMenuEvent(QContextMenuEvent *event) override;
  void keyPressEvent(QKeyEvent *event) override;
  void focusInEvent(QFocusEvent *event) override;
  void focusOutEvent(QFocusEvent *event) override;

private:
  void hover(QPointF location);
  /// A popup menu or a modal message is open: the tooltip stays hidden.
  bool isCovered() const;
  void requestDrillDown(const TreemapRect &tile);
  /// Asks for the tail at `index` (in the rects or the scene) to be opened.
  void requestTail(const TreemapRect &tile, std::size_t index);
  void replaceTiles();
  /// The tile under `location`: an index in the rects or the scene.
  std::optional<std::size_t> indexAt(QPointF location) const;
  /// The tooltip's name for the hovered tile; empty for the node's own.
  QString hoveredName() const;
  void paintMarks(QPainter &painter);
  /// The tile of node `id`: an index in the rects or the scene.
  std::optional<std::size_t> indexOfNode(NodeID id) const;
  void moveKeyboardTile(int key);
  void paintKeyboardMarks(QPainter &painter);
  /// For a menu opened from the keyboard: makes the keyboard's tile the
  /// described one and sets `at` (global) over it; false otherwise.
  bool describeKeyboardTileForMenu(QContextMenuEvent *event, QPoint &at);
  void reveal(const DiskNode &node);
  void renderTileLayer(qreal ratio);

  std::vector<TreemapRect> rects_;
  NestedTreemapScene scene_;
  std::optional<std::size_t> hoveredIndex_; // in rects_ or scene_
  std::optional<std::size_t> keyTile_;      // the keyboard's last tile, in rects_ or scene_
  /// The tiles at rest (no hover, no selection) at the widget's size and
  /// pixel ratio; hovering and selecting repaint only one tile over it.
  QImage tileLayer_;
  std::optional<NodeID> selectedNodeID_;
  std::optional<std::string> highlightedType_;
  ChangeColouring changes_;
  std::optional<TreemapRect> hoveredRect_;
  std::optional<QString> cleaningRefusal_;
  std::function<std::optional<QString>(const std::string &path)> trashRefusalCheck_;
  QPointF cursorLocation_;
  bool isHoverActive_ = false;
  bool tilesPending_ = false;
  bool showsFocusRing_ = false; // focus came from the keyboard, or a key was pressed here
  TreemapTooltip *tooltip_;
  QVariantAnimation *zoom_;
  QRectF zoomFrom_;
  std::optional<QRectF> pendingZoom_; // set by a drill-down, used by the next setRects
};

} // namespace tarnwick
