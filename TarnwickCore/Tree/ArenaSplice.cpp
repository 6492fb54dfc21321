// withSubtreeReplaced: one breadth-first pass emitting records from the old
// tree or the rescan, then the hard-link table merged and the carriers of
// each file settled, then the report.
#include "TarnwickCore/Support/PrefaultPages.h"
#include "TarnwickCore/Tree/ArenaChain.h"
#include "TarnwickCore/Tree/ArenaEdit.h"

#include <sys/stat.h>

#include <algorithm>
#include <tuple>
#include <unordered_map>
#include <utility>
#include <vector>

namespace tarnwick {
namespace {

using Record = DiskTreeArena::Record;
using File = SharedLinkTable::File;

// Where a node of the result comes from.
struct Origin {
  NodeID id;
  bool rescanned;
};

struct Spliced {
  DiskTreeArena::RecordTable records;
  DiskTreeArena::NamePool names;
  std::vector<Origin> origins;          // by new identifier
  std::vector<NodeID> newOfOld;         // -1 for what lay under the folder
  std::vector<NodeID> newOfRescanned;
};

// Numbers the result breadth-first: the queue of origins is the result's
// order, a node's children being appended when the node is emitted.
Spliced emitBreadthFirst(const DiskTreeArena &arena, NodeID folder, const DiskTreeArena &rescanned) {
  Spliced out;
  out.newOfOld.assign(arena.nodeCount(), -1);
  out.newOfRescanned.assign(rescanned.nodeCount(), -1);
  out.origins.reserve(arena.nodeCount() + rescanned.nodeCount());
  out.records.reserve(out.origins.capacity());
  out.names.reserve(arena.namePool().size() + rescanned.namePool().size());
  // Fresh memory faulted in page by page costs more than the pass itself.
  prefaultForWriting(out.origins.data(), out.origins.capacity() * sizeof(Origin));
  prefaultForWriting(out.records.data(), out.records.capacity() * sizeof(Record));
  prefaultForWriting(out.names.data(), out.names.capacity());
  out.origins.push_back({DiskTreeArena::rootID, false});
  for (std::size_t i = 0; i < out.origins.size(); ++i) {
    const Origin origin = out.origins[i];
    const DiskTreeArena &source = origin.rescanned ? rescanned : arena;
    const auto newID = static_cast<NodeID>(i);
    Record r = source.record(origin.id);
    const std::string_view name = source.name(origin.id);
    r.nameOffset = out.names.size();
    out.names.insert(out.names.end(), name.begin(), name.end());
    if (i > 0)
      r.parentID = (origin.rescanned ? out.newOfRescanned : out.newOfOld)[static_cast<std::size_t>(r.parentID)];
    (origin.rescanned ? out.newOfRescanned : out.newOfOld)[static_cast<std::size_t>(origin.id)] = newID;
    bool childrenRescanned = origin.rescanned;
    if (!origin.rescanned && origin.id == folder) {
      const Record &top = rescanned.record(DiskTreeArena::rootID);
      r.allocatedSize = top.allocatedSize;
      r.modificationTimestamp = top.modificationTimestamp;
      r.fileCount = top.fileCount;
      r.directoryCount = top.directoryCount;
      r.childCount = top.childCount;
      r.firstChildID = top.firstChildID;
      out.newOfRescanned[DiskTreeArena::rootID] = newID;
      childrenRescanned = true;
    }
    const NodeID first = r.firstChildID;
    r.firstChildID = r.childCount ? static_cast<NodeID>(out.origins.size()) : 0;
    for (std::uint32_t c = 0; c < r.childCount; ++c)
      out.origins.push_back({first + static_cast<NodeID>(c), childrenRescanned});
    out.records.push_back(r);
  }
  return out;
}

// One file of the merged table: its identity, size and link count as the
// newest read of it says, and its names in the result.
struct MergedFile {
  File file;
  std::vector<NodeID> names;
  bool metByRescan = false;
  /// As the rescan read it; what a name outside must match to be asked about.
  double modificationTimestamp = 0;
};

// The files of both tables by device and inode, each with its names in the
// result: the old names that lay under the folder are gone (and lower the
// old link count), the rescan's read wins for what it met.
std::vector<MergedFile> mergeLinks(const DiskTreeArena &arena, const DiskTreeArena &rescanned, const Spliced &s) {
  struct Entry {
    std::uint64_t device, inode;
    bool rescanned;
    const File *file;
  };
  std::vector<Entry> entries;
  for (const File &file : arena.sharedLinks().files())
    entries.push_back({file.device, file.inode, false, &file});
  for (const File &file : rescanned.sharedLinks().files())
    entries.push_back({file.device, file.inode, true, &file});
  std::ranges::sort(entries, {}, [](const Entry &e) { return std::tie(e.device, e.inode, e.rescanned); });

  std::vector<MergedFile> merged;
  for (std::size_t at = 0; at < entries.size(); ++at) {
    const Entry &entry = entries[at];
    if (merged.empty() || merged.back().file.device != entry.device || merged.back().file.inode != entry.inode ||
        !entry.rescanned) {
      merged.push_back({*entry.file, {}, false, 0});
      merged.back().file.linkCount = 0;
    }
    MergedFile &file = merged.back();
    const std::vector<NodeID> &newIDs = entry.rescanned ? s.newOfRescanned : s.newOfOld;
    const DiskTreeArena &source = entry.rescanned ? rescanned : arena;
    std::uint64_t gone = 0;
    for (NodeID name : source.sharedLinks().names(*entry.file)) {
      if (const NodeID id = newIDs[static_cast<std::size_t>(name)]; id >= 0)
        file.names.push_back(id);
      else
        ++gone;
    }
    if (entry.rescanned) {
      file.metByRescan = true;
      file.modificationTimestamp = source.record(source.sharedLinks().names(*entry.file).front()).modificationTimestamp;
      file.file.allocatedSize = entry.file->allocatedSize;
      file.file.linkCount = entry.file->linkCount;
    } else {
      file.file.linkCount = entry.file->linkCount - gone;
    }
  }
  std::erase_if(merged, [](const MergedFile &file) { return file.names.empty(); });
  return merged;
}

// Joins to the files the rescan met under fewer names than their links the
// files outside the folder that the probe finds to be the same: those the
// old scan took for files of their own, since they had one link then.
void joinNamesOutside(std::vector<MergedFile> &merged, const Spliced &s, const DiskTreeArena &arena,
                      const InodeProbe &probe) {
  using Key = std::pair<std::int64_t, double>; // size, modification time
  std::vector<Key> wanted;
  std::unordered_map<std::uint64_t, std::vector<std::size_t>> byInode;
  for (std::size_t i = 0; i < merged.size(); ++i) {
    const MergedFile &file = merged[i];
    if (!file.metByRescan || file.file.linkCount <= file.names.size())
      continue;
    wanted.emplace_back(file.file.allocatedSize, file.modificationTimestamp);
    byInode[file.file.inode].push_back(i);
  }
  if (wanted.empty() || !probe)
    return;
  std::ranges::sort(wanted);
  std::vector<bool> named(s.records.size(), false);
  for (const MergedFile &file : merged)
    for (NodeID name : file.names)
      named[static_cast<std::size_t>(name)] = true;
  for (std::size_t i = 0; i < s.records.size(); ++i) {
    const Record &r = s.records[i];
    if (s.origins[i].rescanned || r.isDirectory || named[i] ||
        !std::ranges::binary_search(wanted, Key{r.allocatedSize, r.modificationTimestamp}))
      continue;
    const std::optional<InodeIdentity> identity = probe(arena.path(s.origins[i].id));
    if (!identity)
      continue;
    const auto candidates = byInode.find(identity->inode);
    if (candidates == byInode.end())
      continue;
    for (std::size_t index : candidates->second)
      if (merged[index].file.device == identity->device)
        merged[index].names.push_back(static_cast<NodeID>(i));
  }
}

// Gives each file's bytes to its first name and 0 to the others, passing
// every change up to the root, and builds the table a scan would.
SharedLinkTable settleCarriers(std::vector<MergedFile> &merged, DiskTreeArena::RecordTable &records) {
  SharedLinkTable table;
  for (MergedFile &file : merged) {
    std::ranges::sort(file.names);
    for (std::size_t k = 0; k < file.names.size(); ++k) {
      const NodeID name = file.names[k];
      const std::int64_t wanted = k == 0 ? file.file.allocatedSize : 0;
      if (const std::int64_t change = wanted - records[static_cast<std::size_t>(name)].allocatedSize; change != 0)
        addToChain(records, name, change, 0, 0);
    }
    file.file.linkCount = std::max<std::uint64_t>(file.file.linkCount, file.names.size());
    // A file left with one name and one link is a plain file again.
    if (file.names.size() > 1 || file.file.linkCount > 1)
      table.add(file.file, file.names);
  }
  return table;
}

ScanReport splicedReport(const ScanReport &old, const std::string &folderPath, bool wholeTree,
                         const ScanReport &rescanned) {
  ScanReport report = old;
  const bool allListed = old.unreadableFolderCount == static_cast<std::int64_t>(old.unreadablePaths.size());
  std::erase_if(report.unreadablePaths, [&](const Failure &failure) {
    const bool inside = isWithinPath(failure.path, folderPath);
    report.unreadableFolderCount -= inside ? 1 : 0;
    return inside;
  });
  // A tree a stop cut short is whole again once no folder the stop left
  // unread remains, as far as its list of them tells.
  const bool stopLeftSome = !(wholeTree || allListed) || std::ranges::any_of(report.unreadablePaths, [](const Failure &f) {
    return f.reason == ScanReport::stoppedReason;
  });
  if (!stopLeftSome)
    report.stoppedAfterEntries = rescanned.stoppedAfterEntries;
  report.unreadableFolderCount += rescanned.unreadableFolderCount;
  report.unreadablePaths.insert(report.unreadablePaths.end(), rescanned.unreadablePaths.begin(),
                                rescanned.unreadablePaths.end());
  std::ranges::stable_sort(report.unreadablePaths, {}, &Failure::path);
  if (report.unreadablePaths.size() > ScanReport::maxUnreadablePaths)
    report.unreadablePaths.resize(ScanReport::maxUnreadablePaths);
  return report;
}

} // namespace

std::optional<InodeIdentity> readInodeIdentity(const std::string &path) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0)
    return std::nullopt;
  return InodeIdentity{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

DiskTreeArena withSubtreeReplaced(const DiskTreeArena &arena, NodeID folder, const DiskTreeArena &rescanned,
                                  const InodeProbe &probe) {
  if (!arena.isValid(folder) || !arena.record(folder).isDirectory || rescanned.nodeCount() == 0)
    return arena;
  Spliced s = emitBreadthFirst(arena, folder, rescanned);
  const Record &before = arena.record(folder);
  const NodeID newFolder = s.newOfOld[static_cast<std::size_t>(folder)];
  const Record &after = s.records[static_cast<std::size_t>(newFolder)];
  if (after.parentID >= 0)
    addToChain(s.records, after.parentID, after.allocatedSize - before.allocatedSize,
               std::int64_t(after.fileCount) - before.fileCount,
               std::int64_t(after.directoryCount) - before.directoryCount);

  std::vector<MergedFile> merged = mergeLinks(arena, rescanned, s);
  joinNamesOutside(merged, s, arena, probe);
  SharedLinkTable links = settleCarriers(merged, s.records);
  ScanReport report = splicedReport(arena.scanReport(), arena.path(folder), folder == DiskTreeArena::rootID,
                                    rescanned.scanReport());
  return DiskTreeArena(arena.rootPath(), std::move(s.records), std::move(s.names), std::move(report),
                       std::move(links));
}

} // namespace tarnwick
