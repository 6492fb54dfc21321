#pragma once

#include <cstdint>
#include <vector>

namespace tarnwick {

/// What one walk of a cache location found, in a form that several walks
/// can be settled against each other (see settleSizes): files with a single
/// name are only summed, files with several names are listed once each with
/// how many of their names the walk met.
///
/// Bytes are allocated bytes (blocks × 512), except for a location that is
/// itself a file, which counts its logical length. A plain value; it holds
/// one record per multi-link file found, nothing per ordinary file.
struct CacheMeasurement {
  /// A file whose link count was above 1 when the walk read it.
  struct SharedFile {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    /// The largest link count read for it during the walk.
    std::uint64_t linkCount = 0;
    /// Its names below the location that cleaning would remove.
    std::uint64_t namesFound = 0;
    std::int64_t bytes = 0;
  };

  /// The files with one name below the location, and the folders, summed.
  std::int64_t unsharedBytes = 0;
  /// Each multi-link file once, in the order the walk met them.
  std::vector<SharedFile> sharedFiles;
  /// The latest content modification of a non-folder the walk counted, in
  /// seconds since 1970; 0 when it counted none.
  std::int64_t newestModification = 0;
  /// Of unsharedBytes, the folders' own blocks (their listings).
  std::int64_t folderBytes = 0;

  /// Whether the walk met anything that occupies space, whoever frees it.
  bool occupiesSpace() const;
  /// Whether it met a file that occupies space: a location of empty
  /// folders alone is no cache worth offering.
  bool holdsFileData() const;

  /// What removing this location alone frees: the unshared bytes, plus each
  /// shared file whose every name was found here.
  std::int64_t freedBytes() const;
};

} // namespace tarnwick
