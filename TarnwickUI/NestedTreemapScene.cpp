#include "TarnwickUI/NestedTreemapScene.h"

#include "TarnwickUI/SquarifiedTreemapLayout.h"
#include "TarnwickUI/TreemapPalette.h"

#include <algorithm>
#include <unordered_set>

namespace tarnwick {
namespace {

constexpr NodeID tailID = SquarifiedTreemapLayout::syntheticTailNodeID;

void appendLowered(std::string &to, std::string_view text) {
  for (char c : text)
    to.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c);
}

bool holds(const CanvasRect &frame, CanvasPoint point, bool withFarEdges) {
  if (point.x < frame.x || point.y < frame.y)
    return false;
  return withFarEdges ? point.x <= frame.maxX() && point.y <= frame.maxY()
                      : point.x < frame.maxX() && point.y < frame.maxY();
}

} // namespace

NestedTreemapScene NestedTreemapScene::build(std::shared_ptr<const DiskTreeArena> arena, NodeID folder,
                                             CanvasSize canvas, const NestedTreemapLayout::Options &options,
                                             std::optional<std::span<const NodeID>> topLevel) {
  NestedTreemapScene scene;
  scene.arena_ = std::move(arena);
  scene.folder_ = folder;
  scene.options_ = options;
  scene.canvas_ = canvas;
  if (!scene.arena_ || !scene.arena_->isValid(folder))
    return scene;
  if (topLevel)
    scene.topLevel_.emplace(topLevel->begin(), topLevel->end());
  scene.tiles_ = NestedTreemapLayout::compute(*scene.arena_, folder, canvas, options, topLevel);

  // Paths guess categories, as in the one-level view, but lower-cased once
  // per folder tile and extended by a name per tile rather than built whole.
  const DiskTreeArena &tree = *scene.arena_;
  std::string base;
  appendLowered(base, tree.path(folder));
  std::vector<std::string> folderPaths(scene.tiles_.size());
  scene.categories_.resize(scene.tiles_.size());
  std::string path;
  for (std::size_t i = 0; i < scene.tiles_.size(); ++i) {
    const NestedTile &tile = scene.tiles_[i];
    if (tile.id == tailID)
      continue;
    std::optional<CleanableCategory> category = tree.categoryHint(tile.id);
    if (!category) {
      path = tile.parentTile < 0 ? base : folderPaths[std::size_t(tile.parentTile)];
      path.push_back('/');
      appendLowered(path, tree.name(tile.id));
      category = TreemapPalette::inferCategoryLowered(path);
      if (tile.isDirectory)
        folderPaths[i] = path;
    } else if (tile.isDirectory) {
      folderPaths[i] = (tile.parentTile < 0 ? base : folderPaths[std::size_t(tile.parentTile)]) + '/';
      appendLowered(folderPaths[i], tree.name(tile.id));
    }
    scene.categories_[i] = category ? static_cast<std::uint8_t>(static_cast<std::uint8_t>(*category) + 1) : 0;
  }
  return scene;
}

std::optional<CleanableCategory> NestedTreemapScene::category(std::size_t index) const {
  const std::uint8_t value = categories_.at(index);
  return value ? std::optional(static_cast<CleanableCategory>(value - 1)) : std::nullopt;
}

std::optional<std::size_t> NestedTreemapScene::tileAt(CanvasPoint point) const {
  // Breadth first: the last tile holding the point is the deepest.
  for (bool withFarEdges : {false, true})
    for (std::size_t i = tiles_.size(); i-- > 0;)
      if (holds(tiles_[i].frame, point, withFarEdges))
        return i;
  return std::nullopt;
}

std::optional<std::size_t> NestedTreemapScene::indexOf(NodeID id) const {
  if (id == tailID)
    return std::nullopt;
  const auto found = std::ranges::find(tiles_, id, &NestedTile::id);
  return found == tiles_.end() ? std::nullopt : std::optional(std::size_t(found - tiles_.begin()));
}

std::vector<NodeID> NestedTreemapScene::tailMembers(std::size_t index) const {
  const NestedTile &tail = tiles_.at(index);
  if (tail.id != tailID)
    return {};
  std::unordered_set<NodeID> tiled;
  for (const NestedTile &tile : tiles_)
    if (tile.parentTile == tail.parentTile && tile.id != tailID)
      tiled.insert(tile.id);
  std::vector<NodeID> members;
  auto consider = [&](NodeID id) {
    if (arena_->record(id).allocatedSize > 0 && !tiled.contains(id))
      members.push_back(id);
  };
  if (tail.parentTile < 0 && topLevel_) {
    std::ranges::for_each(*topLevel_, consider);
  } else {
    const DiskTreeArena::Record &folder = arena_->record(tail.parentID);
    for (std::uint32_t i = 0; i < folder.childCount; ++i)
      consider(folder.firstChildID + NodeID(i));
  }
  // The layout's own order: larger first, equal sizes by identifier.
  std::ranges::sort(members, [this](NodeID a, NodeID b) {
    const std::int64_t sizeA = arena_->record(a).allocatedSize, sizeB = arena_->record(b).allocatedSize;
    return sizeA != sizeB ? sizeA > sizeB : a < b;
  });
  return members;
}

TreemapRect NestedTreemapScene::describe(std::size_t index) const {
  const NestedTile &tile = tiles_.at(index);
  TreemapRect rect;
  rect.id = tile.id;
  rect.frame = tile.frame;
  const double shortSide = std::min(tile.frame.width, tile.frame.height);
  rect.insetFrame = tile.frame.insetBy(std::max(0.0, std::min(shortSide * 0.25, 1.0)));
  rect.aspectRatio = shortSide > 0 ? std::max(tile.frame.width, tile.frame.height) / shortSide : 1.0;
  const std::int64_t holder = arena_->record(tile.parentID).allocatedSize;
  rect.fractionOfParent = holder > 0 ? double(tile.allocatedSize) / double(holder) : 0;
  if (tile.id != tailID) {
    rect.node = *arena_->node(tile.id);
    return rect;
  }
  const std::vector<NodeID> members = tailMembers(index);
  rect.isAggregatedTail = true;
  rect.aggregatedItemCount = std::int64_t(members.size());
  rect.node.id = tailID;
  rect.node.parentID = tile.parentID;
  rect.node.name = "Smaller Items (" + std::to_string(members.size()) + " files)";
  rect.node.allocatedSize = tile.allocatedSize;
  for (NodeID member : members)
    rect.node.fileCount += std::max<std::int64_t>(1, arena_->record(member).fileCount);
  return rect;
}

std::string NestedTreemapScene::relativePath(std::size_t index) const {
  std::vector<std::string_view> names;
  for (std::int32_t at = tiles_.at(index).id == tailID ? tiles_[index].parentTile : std::int32_t(index); at >= 0;
       at = tiles_[std::size_t(at)].parentTile)
    names.push_back(arena_->name(tiles_[std::size_t(at)].id));
  std::string path;
  for (auto name = names.rbegin(); name != names.rend(); ++name) {
    if (!path.empty())
      path.push_back('/');
    path.append(*name);
  }
  return path;
}

} // namespace tarnwick
