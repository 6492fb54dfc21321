#include "TarnwickCore/Tree/ArenaEdit.h"

#include "TarnwickCore/Tree/ArenaChain.h"
#include "TarnwickCore/Tree/ArenaRecordEditor.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace tarnwick {
namespace {

using Record = DiskTreeArena::Record;

// Marks `top` and every node below it removed. Walks down through the
// children's ranges, which hold no removed node, so the cost is the
// subtree's size.
void markRemoved(ArenaRecordEditor &records, NodeID top) {
  std::vector<NodeID> pending{top};
  while (!pending.empty()) {
    const NodeID id = pending.back();
    pending.pop_back();
    Record r = records.read(id);
    r.isRemoved = 1;
    records.write(id, r);
    for (std::uint32_t i = 0; i < r.childCount; ++i)
      pending.push_back(r.firstChildID + static_cast<NodeID>(i));
  }
}

// Takes the removed `top` out of its parent's range of children: the
// siblings after it move down one place, keeping their order, so the
// range stays consecutive without it, and `top` lands just past the range.
// Returns the last identifier of the old range; the identifiers in
// (top, last] each went down by one.
NodeID closeGap(ArenaRecordEditor &records, NodeID top) {
  const NodeID parentID = records.read(top).parentID;
  const Record range = records.read(parentID);
  const NodeID last = range.firstChildID + NodeID(range.childCount) - 1;
  const Record removed = records.read(top);
  for (NodeID id = top; id < last; ++id) {
    const Record moved = records.read(id + 1);
    records.write(id, moved);
    for (std::uint32_t i = 0; i < moved.childCount; ++i) {
      const NodeID childID = moved.firstChildID + static_cast<NodeID>(i);
      Record child = records.read(childID);
      child.parentID = id;
      records.write(childID, child);
    }
  }
  records.write(last, removed);
  Record parent = records.read(parentID);
  if (--parent.childCount == 0)
    parent.firstChildID = 0;
  records.write(parentID, parent);
  return last;
}

// A gap closed by closeGap: the identifiers in (top, last] went down by one.
struct ClosedGap {
  NodeID top, last;
};

NodeID afterGaps(NodeID id, const std::vector<ClosedGap> &gaps) {
  for (const ClosedGap &gap : gaps)
    if (id > gap.top && id <= gap.last)
      --id;
  return id;
}

// The hard-link table of the survivors: files whose carrier went are now
// carried by their first remaining name, which gains their bytes. Runs
// before the gaps close; the names it keeps are renumbered afterwards.
struct KeptFile {
  SharedLinkTable::File file;
  std::vector<NodeID> names;
};
std::vector<KeptFile> keptLinks(const SharedLinkTable &links, ArenaRecordEditor &records) {
  std::vector<KeptFile> kept;
  for (const SharedLinkTable::File &file : links.files()) {
    KeptFile survivor{file, {}};
    for (NodeID name : links.names(file))
      if (!records.read(name).isRemoved)
        survivor.names.push_back(name);
    if (survivor.names.empty())
      continue;
    const std::span<const NodeID> before = links.names(file);
    survivor.file.linkCount = file.linkCount - (before.size() - survivor.names.size());
    if (records.read(before.front()).isRemoved)
      addToChain(records, survivor.names.front(), file.allocatedSize, 0, 0);
    // The rest of its links lie outside the tree, or there are none.
    if (survivor.file.linkCount > 1 || survivor.names.size() > 1)
      kept.push_back(std::move(survivor));
  }
  return kept;
}

SharedLinkTable renumbered(std::vector<KeptFile> files, const std::vector<ClosedGap> &gaps) {
  SharedLinkTable table;
  for (KeptFile &kept : files) {
    // Closing a gap keeps the survivors' order, so the names stay ascending.
    for (NodeID &name : kept.names)
      name = afterGaps(name, gaps);
    table.add(kept.file, kept.names);
  }
  return table;
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
  std::vector<NodeID> tops(removed.begin(), removed.end());
  std::ranges::sort(tops);
  ArenaRecordEditor records(arena);
  // Ascending, so a subtree is marked before any top inside it is met.
  std::erase_if(tops, [&](NodeID top) {
    if (!arena.isValid(top) || top == DiskTreeArena::rootID || records.read(top).isRemoved)
      return true;
    markRemoved(records, top);
    return false;
  });
  if (tops.empty())
    return arena;

  std::vector<std::string> removedPaths;
  removedPaths.reserve(tops.size());
  for (NodeID top : tops) {
    const Record &r = arena.record(top);
    addToChain(records, r.parentID, -r.allocatedSize, -std::int64_t(r.fileCount),
               -(std::int64_t(r.directoryCount) + (r.isDirectory ? 1 : 0)));
    removedPaths.push_back(arena.path(top));
  }
  std::vector<KeptFile> links = keptLinks(arena.sharedLinks(), records);
  // Descending: closing a gap moves only identifiers above it, so the tops
  // still to come keep theirs.
  std::vector<ClosedGap> gaps;
  for (auto top = tops.rbegin(); top != tops.rend(); ++top)
    gaps.push_back({*top, closeGap(records, *top)});
  return std::move(records).finish(keptReport(arena.scanReport(), removedPaths),
                                   renumbered(std::move(links), gaps));
}

} // namespace tarnwick
