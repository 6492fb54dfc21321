#pragma once

#include <cstdint>

namespace tarnwick {

/// What a directory walk left out, summed over the walked subtree.
struct DirectoryStats {
  std::int64_t skippedSymlinks = 0;
  std::int64_t skippedDataless = 0;
  /// Directories that could not be opened, or whose entries could not all
  /// be inspected.
  std::int64_t inaccessible = 0;
  /// Entries an exclude pattern left out.
  std::int64_t excluded = 0;
  /// Mount points not entered (pseudo file systems not counted).
  std::int64_t skippedMounts = 0;
  /// Directories left unread, or read only in part, because the scan was
  /// stopped early.
  std::int64_t unfinished = 0;

  DirectoryStats &operator+=(const DirectoryStats &other) {
    skippedSymlinks += other.skippedSymlinks;
    skippedDataless += other.skippedDataless;
    inaccessible += other.inaccessible;
    excluded += other.excluded;
    skippedMounts += other.skippedMounts;
    unfinished += other.unfinished;
    return *this;
  }
  friend bool operator==(const DirectoryStats &, const DirectoryStats &) = default;
};

} // namespace tarnwick
