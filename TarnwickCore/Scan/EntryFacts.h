#pragma once

#include <cstdint>
#include <string_view>

namespace tarnwick {

/// What kind of object a directory entry is.
enum class EntryType : std::uint8_t { unknown, regular, directory, symlink, other };

/// The facts the scanner needs about one directory entry, whatever source
/// produced them. `name` points into the source's buffer and stays valid
/// only until the source's next batch.
struct EntryFacts {
  std::string_view name;
  /// Non-zero when the source could not read the entry's attributes (for
  /// example because it vanished between listing and inspection); such an
  /// entry is left out of the tree.
  std::uint32_t errorCode = 0;
  EntryType type = EntryType::unknown;
  /// Contents are not on disk (a cloud placeholder).
  bool isDataless = false;
  /// Device holding the entry, major and minor combined.
  std::int64_t device = 0;
  /// Inode number; 0 when the source has none.
  std::uint64_t fileIdentifier = 0;
  /// Hard-link count; 0 when the source does not know it.
  std::uint64_t linkCount = 0;
  /// Bytes allocated on disk, or the logical size when the source has no
  /// allocation figure.
  std::int64_t size = 0;
  /// Content modification time, seconds since 1970-01-01 UTC; 0 when unknown.
  double modificationTimestamp = 0;
};

} // namespace tarnwick
