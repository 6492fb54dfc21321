#include "TarnwickCore/Diff/TreeComparison.h"

#include "TarnwickCore/Support/PathJoin.h"

#include <algorithm>
#include <queue>
#include <tuple>

namespace tarnwick {
namespace {

// Nodes matched between two looks at the stop token.
constexpr NodeID stopCheckInterval = 4096;

// A changed entry before its path is built: one side's node and how much it changed.
struct Candidate {
  std::uint64_t magnitude;
  NodeID id;
  bool isGone;
};

bool comesFirst(const SizeChange &lhs, const SizeChange &rhs) {
  const std::uint64_t left = SizeChange::magnitude(lhs.difference());
  const std::uint64_t right = SizeChange::magnitude(rhs.difference());
  return left != right ? left > right : lhs.path < rhs.path;
}

// Fills `ids` with `folder`'s children ordered by name, byte for byte (equal names by identifier).
void sortedChildren(const DiskTreeArena &arena, NodeID folder, std::vector<NodeID> &ids) {
  const DiskTreeArena::Record &record = arena.record(folder);
  ids.resize(record.childCount);
  for (std::uint32_t i = 0; i < record.childCount; ++i)
    ids[i] = record.firstChildID + static_cast<NodeID>(i);
  std::sort(ids.begin(), ids.end(), [&arena](NodeID lhs, NodeID rhs) {
    return std::tuple(arena.name(lhs), lhs) < std::tuple(arena.name(rhs), rhs);
  });
}

} // namespace

TreeComparison::TreeComparison(DiskTreeArena older, DiskTreeArena newer)
    : older_(std::move(older)), newer_(std::move(newer)), olderOfNewer_(newer_.nodeCount(), -1),
      olderMatched_(older_.nodeCount(), false) {}

std::optional<TreeComparison> TreeComparison::compare(const DiskTreeArena &older, const DiskTreeArena &newer,
                                                      std::stop_token stop) {
  TreeComparison comparison(older, newer);
  if (!comparison.match(stop))
    return std::nullopt;
  return comparison;
}

bool TreeComparison::match(std::stop_token stop) {
  if (newer_.nodeCount() == 0 || older_.nodeCount() == 0)
    return !stop.stop_requested();
  olderOfNewer_[DiskTreeArena::rootID] = DiskTreeArena::rootID;
  olderMatched_[DiskTreeArena::rootID] = true;
  std::vector<NodeID> olderNames, newerNames;
  // Breadth-first identifiers: a folder is matched before its children are reached.
  const auto count = static_cast<NodeID>(newer_.nodeCount());
  for (NodeID id = 0; id < count; ++id) {
    if (id % stopCheckInterval == 0 && stop.stop_requested())
      return false;
    const NodeID olderID = olderOfNewer_[static_cast<std::size_t>(id)];
    if (olderID >= 0 && newer_.record(id).isDirectory && older_.record(olderID).isDirectory)
      matchChildren(olderID, id, olderNames, newerNames);
  }
  return !stop.stop_requested();
}

void TreeComparison::matchChildren(NodeID olderFolder, NodeID newerFolder, std::vector<NodeID> &olderNames,
                                   std::vector<NodeID> &newerNames) {
  sortedChildren(older_, olderFolder, olderNames);
  sortedChildren(newer_, newerFolder, newerNames);
  auto olderIt = olderNames.begin();
  auto newerIt = newerNames.begin();
  while (olderIt != olderNames.end() && newerIt != newerNames.end()) {
    const std::string_view olderName = older_.name(*olderIt);
    const std::string_view newerName = newer_.name(*newerIt);
    if (olderName < newerName) {
      ++olderIt;
    } else if (newerName < olderName) {
      ++newerIt;
    } else {
      olderOfNewer_[static_cast<std::size_t>(*newerIt++)] = *olderIt;
      olderMatched_[static_cast<std::size_t>(*olderIt++)] = true;
    }
  }
}

NodeID TreeComparison::olderMatch(NodeID newerID) const {
  return newer_.isValid(newerID) ? olderOfNewer_[static_cast<std::size_t>(newerID)] : -1;
}

std::optional<std::int64_t> TreeComparison::olderSize(NodeID newerID) const {
  const NodeID olderID = olderMatch(newerID);
  return olderID >= 0 ? std::optional(older_.record(olderID).allocatedSize) : std::nullopt;
}

TreeComparison::Change TreeComparison::change(NodeID newerID) const {
  const std::optional<std::int64_t> before = olderSize(newerID);
  if (!before)
    return Change::added;
  const std::int64_t after = newer_.record(newerID).allocatedSize;
  return after > *before ? Change::grown : after < *before ? Change::shrunk : Change::unchanged;
}

std::int64_t TreeComparison::totalDifference() const {
  const auto size = [](const DiskTreeArena &arena) { return arena.nodeCount() ? arena.record(0).allocatedSize : 0; };
  return SizeChange::saturatedDifference(size(newer_), size(older_));
}

std::string TreeComparison::newerPathOfOlder(NodeID olderID) const {
  std::vector<NodeID> chain;
  for (NodeID cursor = olderID; cursor > DiskTreeArena::rootID; cursor = older_.record(cursor).parentID)
    chain.push_back(cursor);
  std::string path = newer_.rootPath();
  for (auto it = chain.rbegin(); it != chain.rend(); ++it)
    appendPathComponent(path, older_.name(*it));
  return path;
}

std::vector<SizeChange> TreeComparison::largestChanges(std::size_t limit) const {
  if (limit == 0)
    return {};
  std::vector<Candidate> candidates;
  for (NodeID id = 0; static_cast<std::size_t>(id) < newer_.nodeCount(); ++id) {
    if (!newer_.isValid(id))
      continue;
    const std::int64_t difference =
        SizeChange::saturatedDifference(newer_.record(id).allocatedSize, olderSize(id).value_or(0));
    if (difference != 0 || olderMatch(id) < 0)
      candidates.push_back({SizeChange::magnitude(difference), id, false});
  }
  for (NodeID id = 0; static_cast<std::size_t>(id) < older_.nodeCount(); ++id)
    if (older_.isValid(id) && !olderMatched_[static_cast<std::size_t>(id)])
      candidates.push_back({SizeChange::magnitude(older_.record(id).allocatedSize), id, true});

  const auto row = [this](const Candidate &candidate) {
    if (candidate.isGone) {
      const DiskTreeArena::Record &record = older_.record(candidate.id);
      return SizeChange{newerPathOfOlder(candidate.id), record.allocatedSize, std::nullopt, record.isDirectory != 0};
    }
    const DiskTreeArena::Record &record = newer_.record(candidate.id);
    return SizeChange{newer_.path(candidate.id), olderSize(candidate.id), record.allocatedSize,
                      record.isDirectory != 0};
  };
  std::vector<SizeChange> rows;
  if (candidates.size() <= limit) {
    for (const Candidate &candidate : candidates)
      rows.push_back(row(candidate));
  } else {
    // The limit-th largest magnitude splits the candidates: those above it
    // are all shown; among those equal to it, the first paths fill the rest.
    std::nth_element(candidates.begin(), candidates.begin() + static_cast<std::ptrdiff_t>(limit - 1), candidates.end(),
                     [](const Candidate &lhs, const Candidate &rhs) { return lhs.magnitude > rhs.magnitude; });
    const std::uint64_t threshold = candidates[limit - 1].magnitude;
    const auto byPath = [](const SizeChange &lhs, const SizeChange &rhs) { return lhs.path < rhs.path; };
    std::priority_queue<SizeChange, std::vector<SizeChange>, decltype(byPath)> ties(byPath);
    for (const Candidate &candidate : candidates)
      if (candidate.magnitude > threshold)
        rows.push_back(row(candidate));
    const std::size_t tieRoom = limit - rows.size();
    for (const Candidate &candidate : candidates) {
      if (candidate.magnitude != threshold)
        continue;
      ties.push(row(candidate));
      if (ties.size() > tieRoom)
        ties.pop();
    }
    for (; !ties.empty(); ties.pop())
      rows.push_back(ties.top());
  }
  std::sort(rows.begin(), rows.end(), comesFirst);
  return rows;
}

} // namespace tarnwick
