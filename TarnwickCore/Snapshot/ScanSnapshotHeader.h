#pragma once

#include <cstdint>
#include <string>

namespace tarnwick {

/// What a snapshot says about its scan before its nodes: enough to list the
/// snapshots of a folder (root, date, totals) without reading their trees,
/// and the scan report's counts. The report's lists (unreadable folders,
/// skipped mounts) stay in the body.
///
/// Threads: a plain value.
struct ScanSnapshotHeader {
  std::string rootPath;
  /// When the scan was made, seconds since 1970-01-01 UTC.
  std::int64_t scanTime = 0;
  /// Nodes of the tree, the root included.
  std::uint64_t nodeCount = 0;
  /// Bytes of all the nodes' names together.
  std::uint64_t namePoolSize = 0;
  /// The root's allocated bytes, file count and count of folders below it.
  std::int64_t totalBytes = 0;
  std::uint64_t fileCount = 0;
  std::uint64_t directoryCount = 0;

  double durationSeconds = 0;
  std::int64_t skippedSymlinkCount = 0;
  std::int64_t skippedDatalessCount = 0;
  std::int64_t unreadableFolderCount = 0;
  std::int64_t excludedCount = 0;
  std::int64_t skippedMountCount = 0;
  bool rootReadable = true;

  /// Bytes of the body that follows the header (report lists, nodes, hard
  /// links), the trailing checksum not included.
  std::uint64_t bodyLength = 0;

  friend bool operator==(const ScanSnapshotHeader &, const ScanSnapshotHeader &) = default;
};

} // namespace tarnwick
