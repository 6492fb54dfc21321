#include "TarnwickCore/Snapshot/ScanSnapshotWriter.h"

#include "TarnwickCore/Snapshot/ScanSnapshotHeader.h"
#include "TarnwickCore/Snapshot/SnapshotEncoder.h"
#include "TarnwickCore/Snapshot/SnapshotFormat.h"
#include "TarnwickCore/Support/PrefaultPages.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <optional>

namespace tarnwick {
namespace {

using namespace snapshot;

// The live nodes breadth-first, as the reader numbers them: order[newID] is
// the node's identifier in `arena`.
std::vector<NodeID> liveOrder(const DiskTreeArena &arena) {
  std::vector<NodeID> order;
  if (arena.nodeCount() == 0)
    return order;
  order.reserve(arena.nodeCount());
  order.push_back(DiskTreeArena::rootID);
  for (std::size_t i = 0; i < order.size(); ++i) {
    const auto &r = arena.record(order[i]);
    for (std::uint32_t k = 0; k < r.childCount; ++k)
      if (const NodeID child = r.firstChildID + static_cast<NodeID>(k); arena.isValid(child))
        order.push_back(child);
  }
  return order;
}

void encodeNode(SnapshotEncoder &out, const DiskTreeArena &arena, NodeID id, std::uint32_t liveChildren) {
  const auto &r = arena.record(id);
  const double time = r.modificationTimestamp;
  std::uint8_t timeKind = rawDouble;
  if (std::bit_cast<std::uint64_t>(time) == 0)
    timeKind = noTime;
  else if (std::abs(time) < 0x1p62 && time == std::trunc(time) &&
           std::bit_cast<std::uint64_t>(static_cast<double>(static_cast<std::int64_t>(time))) ==
               std::bit_cast<std::uint64_t>(time)) // not -0.0
    timeKind = wholeSeconds;
  out.byte(static_cast<std::uint8_t>((r.isDirectory ? directoryFlag : 0) | (r.isPackage ? packageFlag : 0) |
                                     (timeKind << timeKindShift) | (r.categoryHintCode << categoryShift)));
  if (r.isDirectory)
    out.varint(liveChildren);
  out.signedVarint(r.allocatedSize);
  if (timeKind == wholeSeconds)
    out.signedVarint(static_cast<std::int64_t>(time));
  else if (timeKind == rawDouble)
    out.real(time);
  out.text(arena.name(id));
}

void encodeReportLists(SnapshotEncoder &out, const ScanReport &report) {
  out.varint(report.skippedMounts.size());
  for (const auto &mount : report.skippedMounts) {
    out.text(mount.path);
    out.text(mount.fileSystemType);
    out.byte(static_cast<std::uint8_t>(mount.reason));
  }
  out.varint(report.unreadablePaths.size());
  for (const Failure &failure : report.unreadablePaths) {
    out.text(failure.action);
    out.text(failure.path);
    out.signedVarint(failure.errorNumber);
    out.text(failure.reason);
  }
}

// Each file's names in the new numbering, ascending, as deltas; names that
// were removed are left out, and so is a file left without names.
void encodeSharedLinks(std::string &body, const DiskTreeArena &arena, const std::vector<NodeID> &order) {
  const SharedLinkTable &links = arena.sharedLinks();
  const bool identity = order.size() == arena.nodeCount();
  std::vector<NodeID> renumbered;
  if (!identity && !links.empty()) {
    renumbered.assign(arena.nodeCount(), -1);
    for (std::size_t i = 0; i < order.size(); ++i)
      renumbered[static_cast<std::size_t>(order[i])] = static_cast<NodeID>(i);
  }
  std::string files;
  SnapshotEncoder out(files);
  std::uint64_t fileCount = 0;
  std::vector<NodeID> names;
  for (const SharedLinkTable::File &file : links.files()) {
    names.clear();
    for (NodeID name : links.names(file)) {
      if (name < 0 || static_cast<std::size_t>(name) >= arena.nodeCount())
        continue;
      const NodeID mapped = identity ? name : renumbered[static_cast<std::size_t>(name)];
      if (mapped >= 0)
        names.push_back(mapped);
    }
    if (names.empty())
      continue;
    std::sort(names.begin(), names.end());
    ++fileCount;
    out.varint(file.device);
    out.varint(file.inode);
    out.varint(file.linkCount);
    out.signedVarint(file.allocatedSize);
    out.varint(names.size());
    NodeID previous = 0;
    for (NodeID name : names) {
      out.varint(static_cast<std::uint64_t>(name - previous));
      previous = name;
    }
  }
  SnapshotEncoder(body).varint(fileCount);
  body += files;
}

// The header with a body length of 0; `bodyLengthAt` tells where the
// length's 8 bytes are, to be set once the body is written.
std::string encodeHeader(const DiskTreeArena &arena, std::int64_t scanTime, std::uint64_t nodeCount,
                         std::uint64_t namePoolSize, std::size_t &bodyLengthAt) {
  const ScanReport &report = arena.scanReport();
  std::string header;
  SnapshotEncoder out(header);
  out.signedVarint(scanTime);
  out.varint(nodeCount);
  out.varint(namePoolSize);
  const auto root = arena.nodeCount() > 0 ? std::optional(arena.record(DiskTreeArena::rootID)) : std::nullopt;
  out.signedVarint(root ? root->allocatedSize : 0);
  out.varint(root ? root->fileCount : 0);
  out.varint(root ? root->directoryCount : 0);
  out.real(report.durationSeconds);
  out.signedVarint(report.skippedSymlinkCount);
  out.signedVarint(report.skippedDatalessCount);
  out.signedVarint(report.unreadableFolderCount);
  out.signedVarint(report.excludedCount);
  out.signedVarint(report.skippedMountCount);
  out.byte(report.rootReadable ? 1 : 0);
  bodyLengthAt = header.size();
  out.fixed64(0);
  out.text(arena.rootPath());
  return header;
}

} // namespace

std::string ScanSnapshotWriter::encode(const DiskTreeArena &arena, std::int64_t scanTime) {
  const std::vector<NodeID> order = liveOrder(arena);
  std::uint64_t namePoolSize = 0;
  for (const NodeID id : order)
    namePoolSize += arena.record(id).nameLength;
  std::size_t bodyLengthAt = 0;
  const std::string header = encodeHeader(arena, scanTime, order.size(), namePoolSize, bodyLengthAt);

  // One string for the whole file, its pages mapped at once: most nodes
  // take their name and a dozen bytes.
  std::string file;
  file.reserve(prefixSize + header.size() + namePoolSize + order.size() * 16 + 256);
  prefaultForWriting(file.data(), file.capacity());
  file += magic;
  SnapshotEncoder out(file);
  out.fixed32(formatVersion);
  out.fixed32(static_cast<std::uint32_t>(header.size()));
  out.fixed32(0); // the header's checksum, once its body length is set
  file += header;
  const std::size_t bodyStart = file.size();
  encodeReportLists(out, arena.scanReport());
  for (const NodeID id : order) {
    const auto &r = arena.record(id);
    std::uint32_t liveChildren = 0;
    for (std::uint32_t k = 0; k < r.childCount; ++k)
      liveChildren += arena.isValid(r.firstChildID + static_cast<NodeID>(k)) ? 1 : 0;
    encodeNode(out, arena, id, liveChildren);
  }
  encodeSharedLinks(file, arena, order);

  const std::uint64_t bodyLength = file.size() - bodyStart;
  for (std::size_t i = 0; i < 8; ++i)
    file[prefixSize + bodyLengthAt + i] = static_cast<char>(bodyLength >> (8 * i));
  const std::uint32_t headerChecksum = checksum(std::string_view(file).substr(prefixSize, header.size()));
  for (std::size_t i = 0; i < 4; ++i)
    file[16 + i] = static_cast<char>(headerChecksum >> (8 * i));
  out.fixed32(checksum(file));
  return file;
}

} // namespace tarnwick
