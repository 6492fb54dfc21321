#include "TarnwickUI/CategoryShares.h"

#include "TarnwickCore/Support/PathJoin.h"
#include "TarnwickCore/Tree/ArenaChain.h"
#include "TarnwickCore/Tree/ArenaEdit.h"
#include "TarnwickUI/TreemapPalette.h"

#include <algorithm>
#include <iterator>
#include <numeric>
#include <string>
#include <vector>

#include <QCoreApplication>

namespace tarnwick {
namespace {

// The translation context of the texts this file shows outside a QObject.
struct Texts {
  Q_DECLARE_TR_FUNCTIONS(CategoryShares)
};

using Group = CategoryShares::Group;
using enum CleanableCategory;

// Checked for cancellation once per this many nodes.
constexpr std::uint32_t nodesPerStopCheck = 65536;

char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

void appendLowered(std::string &path, std::string_view text) {
  std::transform(text.begin(), text.end(), std::back_inserter(path), lowerAscii);
}

// What the node itself occupies: a folder's total less its children's.
std::int64_t ownBytes(const DiskTreeArena &arena, NodeID id) {
  const DiskTreeArena::Record &record = arena.record(id);
  std::int64_t own = record.allocatedSize;
  for (std::uint32_t i = 0; i < record.childCount; ++i)
    own -= arena.record(record.firstChildID + static_cast<NodeID>(i)).allocatedSize;
  return own;
}

std::optional<CleanableCategory> categoryAt(const DiskTreeArena &arena, NodeID id, std::string_view loweredPath) {
  if (std::optional<CleanableCategory> hint = arena.categoryHint(id))
    return hint;
  return TreemapPalette::inferCategoryLowered(loweredPath);
}

} // namespace

Group CategoryShares::groupOf(std::optional<CleanableCategory> category) {
  if (!category)
    return Group::other;
  switch (*category) {
  case xcodeJunk:
  case brewAndPackages: return Group::developer;
  case creatorCaches: return Group::media;
  case dockerAndVMs: return Group::containers;
  case browserBloat: return Group::browsers;
  case userCache: return Group::caches;
  case aiModelsAndLogs: return Group::ai;
  case systemJunk: return Group::logs;
  case largeAndOldFiles: return Group::downloads;
  case trashBins: return Group::trash;
  }
  return Group::other;
}

QString CategoryShares::title(Group group) {
  switch (group) {
  case Group::developer: return Texts::tr("Dev");
  case Group::media: return Texts::tr("Media");
  case Group::containers: return Texts::tr("Containers");
  case Group::browsers: return Texts::tr("Browsers");
  case Group::caches: return Texts::tr("Caches");
  case Group::ai: return Texts::tr("AI");
  case Group::logs: return Texts::tr("Logs");
  case Group::downloads: return Texts::tr("Downloads");
  case Group::trash: return Texts::tr("Trash");
  case Group::other: break;
  }
  return Texts::tr("Other");
}

QColor CategoryShares::color(Group group) {
  static constexpr CleanableCategory representative[] = {xcodeJunk,       creatorCaches,   dockerAndVMs,
                                                         browserBloat,    userCache,       aiModelsAndLogs,
                                                         systemJunk,      largeAndOldFiles, trashBins};
  return group == Group::other ? TreemapPalette::mutedCharcoal()
                               : TreemapPalette::color(representative[static_cast<std::size_t>(group)]);
}

std::int64_t CategoryShares::total() const { return std::accumulate(bytes_.begin(), bytes_.end(), std::int64_t{0}); }

bool CategoryShares::addSubtree(const DiskTreeArena &arena, NodeID top, std::int64_t sign, std::stop_token stop) {
  auto add = [&](NodeID id, std::string_view loweredPath) {
    bytes_[static_cast<std::size_t>(groupOf(categoryAt(arena, id, loweredPath)))] += sign * ownBytes(arena, id);
  };
  // Depth first, with one path that each level extends and cuts back.
  std::string path;
  appendLowered(path, arena.path(top));
  add(top, path);
  struct Frame {
    NodeID directory;
    std::uint32_t nextChild;
    std::size_t pathLength;
  };
  std::vector<Frame> stack{{top, 0, path.size()}};
  std::uint32_t sinceStopCheck = 0;
  while (!stack.empty()) {
    Frame &frame = stack.back();
    const DiskTreeArena::Record &directory = arena.record(frame.directory);
    if (frame.nextChild == directory.childCount) {
      stack.pop_back();
      continue;
    }
    const NodeID child = directory.firstChildID + static_cast<NodeID>(frame.nextChild++);
    path.resize(frame.pathLength);
    appendPathComponent(path, {});
    appendLowered(path, arena.name(child));
    add(child, path);
    if (arena.record(child).childCount > 0)
      stack.push_back({child, 0, path.size()});
    if (++sinceStopCheck == nodesPerStopCheck) {
      sinceStopCheck = 0;
      if (stop.stop_requested())
        return false;
    }
  }
  return true;
}

std::optional<CategoryShares> CategoryShares::measure(const DiskTreeArena &arena, std::stop_token stop) {
  CategoryShares shares;
  if (stop.stop_requested())
    return std::nullopt;
  if (arena.rootNode() && !shares.addSubtree(arena, DiskTreeArena::rootID, 1, std::move(stop)))
    return std::nullopt;
  return shares;
}

CategoryShares CategoryShares::withoutSubtrees(const DiskTreeArena &arena, std::span<const NodeID> removed) const {
  std::vector<NodeID> gone;
  for (NodeID id : removed)
    if (arena.isValid(id) && id != DiskTreeArena::rootID)
      gone.push_back(id);
  std::ranges::sort(gone);
  gone.erase(std::unique(gone.begin(), gone.end()), gone.end());
  auto isGone = [&](NodeID id, bool countSelf) {
    for (NodeID cursor = countSelf ? id : arena.record(id).parentID; cursor > DiskTreeArena::rootID;
         cursor = arena.record(cursor).parentID)
      if (std::ranges::binary_search(gone, cursor))
        return true;
    return false;
  };
  CategoryShares shares = *this;
  for (NodeID id : gone)
    if (!isGone(id, false)) // the top of a removed subtree
      shares.addSubtree(arena, id, -1, {});
  // A hard-linked file whose carrier went is carried by its first remaining
  // name, which is what the derived tree does too.
  for (const SharedLinkTable::File &file : arena.sharedLinks().files()) {
    const std::span<const NodeID> names = arena.sharedLinks().names(file);
    if (!isGone(names.front(), true))
      continue;
    const auto heir = std::ranges::find_if(names, [&](NodeID name) { return !isGone(name, true); });
    if (heir == names.end())
      continue;
    std::string path;
    appendLowered(path, arena.path(*heir));
    shares.bytes_[static_cast<std::size_t>(groupOf(categoryAt(arena, *heir, path)))] += file.allocatedSize;
  }
  return shares;
}

CategoryShares CategoryShares::withSubtreeReplaced(const DiskTreeArena &arena, NodeID folder,
                                                   const DiskTreeArena &spliced, NodeID splicedFolder) const {
  CategoryShares shares = *this;
  if (!arena.isValid(folder) || !spliced.isValid(splicedFolder))
    return shares;
  shares.addSubtree(arena, folder, -1, {});
  shares.addSubtree(spliced, splicedFolder, 1, {});
  // Outside the folder only the names of hard-linked files change bytes,
  // and each such name is in the table of one tree or the other.
  const std::string folderPath = arena.path(folder);
  std::vector<std::string> linked;
  for (const DiskTreeArena *tree : {&arena, &spliced})
    for (const SharedLinkTable::File &file : tree->sharedLinks().files())
      for (NodeID name : tree->sharedLinks().names(file))
        if (std::string path = tree->path(name); !isWithinPath(path, folderPath))
          linked.push_back(std::move(path));
  std::ranges::sort(linked);
  linked.erase(std::unique(linked.begin(), linked.end()), linked.end());
  for (const std::string &path : linked) {
    const std::optional<NodeID> before = findNodeByPath(arena, path);
    const std::optional<NodeID> after = findNodeByPath(spliced, path);
    if (!before || !after)
      continue;
    if (const std::int64_t change = spliced.record(*after).allocatedSize - arena.record(*before).allocatedSize) {
      std::string lowered;
      appendLowered(lowered, path);
      shares.bytes_[static_cast<std::size_t>(groupOf(categoryAt(spliced, *after, lowered)))] += change;
    }
  }
  return shares;
}

} // namespace tarnwick
