// The dashboard's treemap layout: which children the first level holds,
// laid out here or by the scene loader, with the colouring on show.
#include "TarnwickUI/SizeloomDashboardView.h"

#include "TarnwickUI/NestedTreemapScene.h"
#include "TarnwickUI/SquarifiedTreemapLayout.h"
#include "TarnwickUI/TreemapCanvasView.h"
#include "TarnwickUI/TreemapPalette.h"

#include <QStackedWidget>

#include <optional>
#include <unordered_set>

namespace tarnwick {
namespace {

// Small enough to show a folder's larger files inside it, large enough to
// point at; the budget bounds a scene at about 3 MB and one paint pass.
const NestedTreemapLayout::Options nestedOptions{.minTileArea = 20, .maxTiles = 50'000, .padding = 2,
                                                 .headerHeight = 14};

/// The nodes `ids` (children of `parent`, in identifier order), carrying
/// only what the layout reads (no names, paths or child lists): a folder
/// can hold a hundred thousand entries, and only the tiles need whole
/// nodes. The layout orders them itself, equal sizes by position, which is
/// identifier order here, as in the tree's own largest-first listing.
std::vector<DiskNode> layoutNodes(const DiskTreeArena &tree, NodeID parent, const std::vector<NodeID> &ids) {
  std::vector<DiskNode> children(ids.size());
  for (std::size_t i = 0; i < ids.size(); ++i) {
    const NodeID id = ids[i];
    const DiskTreeArena::Record &child = tree.record(id);
    DiskNode &node = children[i];
    node.id = id;
    node.parentID = parent;
    node.isDirectory = child.isDirectory;
    node.isPackage = child.isPackage;
    node.allocatedSize = child.allocatedSize;
    node.fileCount = child.fileCount;
    node.directoryCount = child.directoryCount;
    node.categoryHint = tree.categoryHint(id);
  }
  return children;
}

} // namespace

std::vector<NodeID> SizeloomDashboardView::childIDs(NodeID folder) const {
  const DiskTreeArena::Record &record = arena_->record(folder);
  std::vector<NodeID> ids(record.childCount);
  for (std::uint32_t i = 0; i < record.childCount; ++i)
    ids[i] = record.firstChildID + NodeID(i);
  return ids;
}

std::optional<std::vector<NodeID>> SizeloomDashboardView::firstLevel() const {
  if (!arena_ || !arena_->isValid(currentNodeID_))
    return std::vector<NodeID>{};
  if (!shownItems_ && !selectedCategory_)
    return std::nullopt;
  std::vector<NodeID> ids = shownItems_ ? *shownItems_ : childIDs(currentNodeID_);
  if (!selectedCategory_)
    return ids;
  std::vector<NodeID> matching;
  for (NodeID id : ids) {
    std::optional<CleanableCategory> category = arena_->categoryHint(id);
    if (!category)
      category = TreemapPalette::inferCategory(arena_->path(id));
    if (category == selectedCategory_)
      matching.push_back(id);
  }
  if (matching.empty()) // an unmatched filter never empties the view
    return shownItems_ ? std::optional(std::move(ids)) : std::nullopt;
  return matching;
}

void SizeloomDashboardView::setChangeColouring(ChangeColouring changes) {
  changes_ = std::move(changes);
  relayout();
}

ChangeColouring SizeloomDashboardView::shownChanges() const {
  return arena_ && changes_.describes(*arena_) ? changes_ : ChangeColouring();
}

void SizeloomDashboardView::relayout() {
  laidOutFirstLevel_ = firstLevel();
  const CanvasSize canvasSize{double(canvas_->width()), double(canvas_->height())};
  if (nestedContents_ && arena_) {
    layOutNested(canvasSize);
    return;
  }
  sceneLoader_.cancel();
  std::vector<DiskNode> children;
  if (arena_ && arena_->isValid(currentNodeID_))
    children = layoutNodes(*arena_, currentNodeID_, laidOutFirstLevel_ ? *laidOutFirstLevel_ : childIDs(currentNodeID_));
  const std::optional<DiskNode> current = arena_ ? arena_->node(currentNodeID_) : std::nullopt;
  std::optional<std::int64_t> parentSize;
  if (current)
    parentSize = current->allocatedSize;
  std::vector<TreemapRect> rects =
      SquarifiedTreemapLayout::compute(children, canvasSize, SquarifiedTreemapLayout::defaultMinPixelArea,
                                       SquarifiedTreemapLayout::defaultMaxVisibleRects, parentSize);
  for (TreemapRect &tile : rects)
    if (!tile.isAggregatedTail)
      tile.node = *arena_->node(tile.id);
  container_->setCurrentWidget(rects.empty() ? emptyMessage_ : static_cast<QWidget *>(canvas_));
  canvas_->setChangeColouring(shownChanges());
  canvas_->setRects(std::move(rects));
}

void SizeloomDashboardView::layOutNested(CanvasSize canvasSize) {
  const auto folder = arena_->isValid(currentNodeID_) ? std::optional(arena_->record(currentNodeID_)) : std::nullopt;
  if (folder && std::uint64_t(folder->fileCount) + folder->directoryCount > backgroundLayoutEntries_) {
    const qreal ratio = canvas_->devicePixelRatioF();
    sceneLoader_.request({arena_, currentNodeID_, canvasSize, nestedOptions, laidOutFirstLevel_,
                          {canvas_->highlightedFileType(), canvas_->palette().color(QPalette::Window), shownChanges()},
                          ratio});
    canvas_->setTilesPending(true);
    canvas_->setChangeColouring(shownChanges());
    return;
  }
  sceneLoader_.cancel();
  std::optional<std::span<const NodeID>> topLevel;
  if (laidOutFirstLevel_)
    topLevel = std::span<const NodeID>(*laidOutFirstLevel_);
  showScene({NestedTreemapScene::build(arena_, currentNodeID_, canvasSize, nestedOptions, topLevel), {}, {}, {}});
}

void SizeloomDashboardView::showScene(PaintedNestedScene painted) {
  container_->setCurrentWidget(painted.scene.isEmpty() ? emptyMessage_ : static_cast<QWidget *>(canvas_));
  canvas_->setChangeColouring(shownChanges());
  canvas_->setScene(std::move(painted));
}

void SizeloomDashboardView::setNestedContents(bool nested) {
  if (nestedContents_ == nested)
    return;
  nestedContents_ = nested;
  relayout();
}

void SizeloomDashboardView::openTail(NodeID folder, const std::vector<NodeID> &tiledSiblings) {
  if (!arena_ || !arena_->isValid(folder))
    return;
  std::vector<NodeID> candidates;
  if (folder == currentNodeID_ && laidOutFirstLevel_)
    candidates = *laidOutFirstLevel_;
  else
    candidates = childIDs(folder);
  const std::unordered_set<NodeID> tiled(tiledSiblings.begin(), tiledSiblings.end());
  std::vector<NodeID> members;
  for (NodeID id : candidates)
    if (arena_->record(id).allocatedSize > 0 && !tiled.contains(id))
      members.push_back(id);
  if (members.empty())
    return;
  currentNodeID_ = folder;
  shownItems_ = std::move(members);
  selectedNodeID_.reset();
  canvas_->setSelectedNodeID(std::nullopt);
  refreshChrome();
  relayout();
}

} // namespace tarnwick
