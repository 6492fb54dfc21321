#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tarnwick {

/// The info object of one entry of an export, as read: the fields the tree
/// needs, each left at its default when the object does not have it.
///
/// Threads: a plain value.
struct NcduEntry {
  enum class Exclusion : std::uint8_t {
    none,
    /// Left out by a pattern (or a firmlink, on macOS): not in the tree.
    pattern,
    /// A mount point of another file system (or a kernel one) not entered.
    otherFileSystem,
  };

  /// Bytes, not necessarily UTF-8; for the root, the scanned path.
  std::string name;
  bool hasName = false;
  /// Allocated bytes: a file's blocks, a folder's own.
  std::int64_t diskSize = 0;
  std::optional<std::uint64_t> device;
  std::optional<std::uint64_t> inode;
  /// 0 when not given.
  std::uint64_t linkCount = 0;
  /// The file has more than one name (ncdu 1.x's "hlnkc").
  bool hardLinked = false;
  /// Neither a regular file nor a folder: a symbolic link, FIFO, socket, device.
  bool notRegular = false;
  bool readError = false;
  Exclusion exclusion = Exclusion::none;
  std::string exclusionKind;
  /// Seconds since 1970; 0 when not given.
  double modificationTime = 0;
  std::optional<std::uint64_t> mode;

  /// Whether ino and dev, with the link facts, say which names share a file.
  bool sharesFile() const { return inode && (hardLinked || linkCount > 1); }
  bool isSymlink() const { return mode && (*mode & 0170000) == 0120000; }
};

} // namespace tarnwick
