#pragma once

#include "TarnwickCore/Support/Failure.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
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
  /// The most skipped mount points a report lists, for the same reasons.
  static constexpr std::size_t maxSkippedMounts = 1000;

  /// A mount point the scan did not enter. It stays in the tree as an empty
  /// folder of 0 bytes: what it holds belongs to another file system.
  struct SkippedMount {
    enum class Reason : std::uint8_t {
      /// The scan stays on the root's file system.
      otherFileSystem,
      /// A network file system (nfs, cifs, sshfs, …), left out by default.
      remote,
      /// A read-only image (squashfs, iso9660, …), left out by default.
      image,
    };
    std::string path;
    /// As the mount table names it ("nfs4", "fuse.sshfs"), or as the
    /// kernel's file system magic number tells when the table does not
    /// know the mount.
    std::string fileSystemType;
    Reason reason = Reason::otherFileSystem;

    friend bool operator==(const SkippedMount &, const SkippedMount &) = default;
  };

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
  /// Entries (files and folders with all they hold) left out because an
  /// exclude pattern matched them; what they hold is not counted.
  std::int64_t excludedCount = 0;
  /// Mount points not entered, exactly counted; the first
  /// maxSkippedMounts of them, sorted by path, in skippedMounts.
  std::int64_t skippedMountCount = 0;
  std::vector<SkippedMount> skippedMounts{};
  /// Why each unreadable folder failed, sorted by path (so the root, when it
  /// failed, comes first): the first maxUnreadablePaths met, of
  /// unreadableFolderCount. The action says what failed: "open" (nothing of
  /// the folder was read), "read" (its listing broke off) or "inspect the
  /// entries of" (it was listed, but some entries could not be examined).
  std::vector<Failure> unreadablePaths;
  /// Set when the scan was stopped before its end and kept what it had
  /// read: how many entries below the root the tree then held. Folders not
  /// read to their end count among the unreadable ones, with the reason
  /// stoppedReason, their totals short by what was not read.
  std::optional<std::int64_t> stoppedAfterEntries{};
  /// The reason an unreadable folder carries when the scan stopped before
  /// its listing was done.
  static constexpr const char *stoppedReason = "scan stopped";
  /// The device number (st_dev) the root was on where the tree was made, when
  /// known: an import takes it from the export's root entry ("dev"); a scan
  /// leaves it out. It tells whether a path of the tree is the same folder here.
  std::optional<std::uint64_t> rootDevice{};
  /// When the tree was written as an export, in seconds since 1970-01-01
  /// UTC, when known: an import takes it from the export's metadata
  /// ("timestamp"); a scan leaves it out, its time being kept beside it.
  std::optional<std::int64_t> exportedAt{};

  friend bool operator==(const ScanReport &, const ScanReport &) = default;
};

} // namespace tarnwick
