#include "TarnwickCore/Tree/ArenaEdit.h"

#include "TarnwickCore/Support/PrefaultPages.h"

#include "TarnwickCore/Tree/ArenaChain.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace tarnwick {
namespace {

using Record = DiskTreeArena::Record;

// The hard-link table of the survivors: files whose carrier went are now
// carried by their first remaining name, which gains their bytes.
SharedLinkTable keptLinks(const SharedLinkTable &links, const std::vector<NodeID> &newID,
                          DiskTreeArena::RecordTable &records) {
  SharedLinkTable kept;
  std::vector<NodeID> names;
  for (const SharedLinkTable::File &file : links.files()) {
    names.clear();
    for (NodeID name : links.names(file))
      if (newID[static_cast<std::size_t>(name)] >= 0)
        names.push_back(newID[static_cast<std::size_t>(name)]);
    if (names.empty())
      continue;
    const std::span<const NodeID> before = links.names(file);
    SharedLinkTable::File survivor = file;
    survivor.linkCount = file.linkCount - (before.size() - names.size());
    if (newID[static_cast<std::size_t>(before.front())] < 0)
      addToChain(records, names.front(), file.allocatedSize, 0, 0);
    // The rest of its links lie outside the tree, or there are none.
    if (survivor.linkCount > 1 || names.size() > 1)
      kept.add(survivor, names);
  }
  return kept;
}

ScanReport keptReport(const ScanReport &report, const std::vector<std::string> &removedPaths) {
  ScanReport kept = report;
  std::erase_if(kept.unreadablePaths, [&](const Failure &failure) {
    const bool inside = std::ranges::any_of(removedPaths, [&](const std::string &top) {
      return isWithinPath(failure.path, top);
    });
    if (inside)
      --kept.unreadableFolderCount;
    return inside;
  });
  return kept;
}

} // namespace

std::optional<NodeID> findNodeByPath(const DiskTreeArena &arena, std::string_view path) {
  if (arena.nodeCount() == 0)
    return std::nullopt;
  const std::string &root = arena.rootPath();
  if (path == root)
    return DiskTreeArena::rootID;
  if (!isWithinPath(path, root))
    return std::nullopt;
  std::string_view rest = path.substr(root.ends_with('/') ? root.size() : root.size() + 1);
  NodeID current = DiskTreeArena::rootID;
  while (true) {
    const std::size_t slash = rest.find('/');
    const std::string_view component = rest.substr(0, slash);
    const Record &folder = arena.record(current);
    std::optional<NodeID> child;
    for (NodeID id = folder.firstChildID; !component.empty() && id < folder.firstChildID + NodeID(folder.childCount); ++id)
      if (arena.name(id) == component) {
        child = id;
        break;
      }
    if (!child || slash == std::string_view::npos)
      return child;
    current = *child;
    rest.remove_prefix(slash + 1);
  }
}

DiskTreeArena withoutSubtrees(const DiskTreeArena &arena, std::span<const NodeID> removed) {
  const std::size_t count = arena.nodeCount();
  std::vector<std::uint8_t> gone(count, 0);
  for (NodeID id : removed)
    if (arena.isValid(id) && id != DiskTreeArena::rootID)
      gone[static_cast<std::size_t>(id)] = 1;
  // A parent's identifier is below its children's, so one forward pass
  // settles who goes and numbers who stays.
  std::vector<NodeID> newID(count, -1);
  std::vector<NodeID> tops; // removed nodes whose parent stays
  NodeID next = 0;
  for (std::size_t i = 0; i < count; ++i) {
    if (i > 0) {
      const auto parent = static_cast<std::size_t>(arena.record(NodeID(i)).parentID);
      if (gone[parent])
        gone[i] = 1;
      else if (gone[i])
        tops.push_back(NodeID(i));
    }
    if (!gone[i])
      newID[i] = next++;
  }
  if (tops.empty())
    return arena;

  DiskTreeArena::RecordTable records(static_cast<std::size_t>(next));
  prefaultForWriting(records.data(), records.size() * sizeof(Record));
  for (std::size_t i = 0; i < count; ++i) {
    if (gone[i])
      continue;
    Record r = arena.record(NodeID(i));
    r.childCount = 0;
    r.firstChildID = 0;
    if (i > 0) {
      r.parentID = newID[static_cast<std::size_t>(r.parentID)];
      Record &parent = records[static_cast<std::size_t>(r.parentID)];
      if (parent.childCount++ == 0)
        parent.firstChildID = newID[i];
    }
    records[static_cast<std::size_t>(newID[i])] = r;
  }
  std::vector<std::string> removedPaths;
  removedPaths.reserve(tops.size());
  for (NodeID top : tops) {
    const Record &r = arena.record(top);
    addToChain(records, newID[static_cast<std::size_t>(r.parentID)], -r.allocatedSize, -std::int64_t(r.fileCount),
               -(std::int64_t(r.directoryCount) + (r.isDirectory ? 1 : 0)));
    removedPaths.push_back(arena.path(top));
  }
  SharedLinkTable links = keptLinks(arena.sharedLinks(), newID, records);
  DiskTreeArena::NamePool names(arena.namePool().size());
  prefaultForWriting(names.data(), names.size());
  std::copy(arena.namePool().begin(), arena.namePool().end(), names.begin());
  return DiskTreeArena(arena.rootPath(), std::move(records), std::move(names),
                       keptReport(arena.scanReport(), removedPaths), std::move(links));
}

} // namespace tarnwick
