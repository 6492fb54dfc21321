#pragma once

#include "TarnwickCore/Support/Failure.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tarnwick {

/// What a scan records beside its tree: how long it took, what it left out
/// on purpose, and where reading failed. Built whole by the scan and handed
/// to the arena when the arena is made; neither changes it afterwards.
///
/// Folders that fail are kept in a list of their own, so a node costs
/// nothing more for them. A scan of a tree that is unreadable almost
/// everywhere keeps at most maxUnreadablePaths of them; the count is exact.
///
/// Threads: a plain value.
struct ScanReport {
  /// The most unreadable folders a report lists: enough for a person to
  /// look through, and a bound on what a tree that is unreadable almost
  /// everywhere costs beyond its nodes.
  static constexpr std::size_t maxUnreadablePaths = 1000;

  /// Seconds from the start of the scan until the walk was complete (hard
  /// links settled, sizes summed); the freeze into the arena is not counted.
  double durationSeconds = 0;
  std::int64_t skippedSymlinkCount = 0;
  /// Files whose contents are not on disk (cloud placeholders), counted 0 bytes.
  std::int64_t skippedDatalessCount = 0;
  /// Folders, the root included, that could not be opened or whose entries
  /// could not all be read: each counts once, and its total in the tree is
  /// short by what could not be read.
  std::int64_t unreadableFolderCount = 0;
  /// False when the root itself could not be opened as a folder (missing,
  /// not a folder, not permitted): the tree is then the root alone, empty.
  bool rootReadable = true;
  /// Why each unreadable folder failed, sorted by path (so the root, when it
  /// failed, comes first): the first maxUnreadablePaths met, of
  /// unreadableFolderCount. The action says what failed: "open" (nothing of
  /// the folder was read), "read" (its listing broke off) or "inspect the
  /// entries of" (it was listed, but some entries could not be examined).
  std::vector<Failure> unreadablePaths;

  friend bool operator==(const ScanReport &, const ScanReport &) = default;
};

} // namespace tarnwick
