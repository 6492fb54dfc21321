#pragma once

#include "TarnwickCore/Support/MountTable.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tarnwick {

/// Which file an inode is, across names: bind mounts and hard links give
/// one file several names, and only this pair tells them apart.
struct FileIdentity {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;

  friend bool operator==(const FileIdentity &, const FileIdentity &) = default;
};

/// What the deletion guard reads of the file system. The system's own
/// implementation is the default; tests substitute theirs. Every call only
/// reads metadata.
class GuardFileFacts {
public:
  /// The entry itself, never a link's target.
  struct LinkStatus {
    bool isSymbolicLink = false;
    /// Immutable or append-only.
    bool isImmutable = false;
    bool isDirectory = false;
    /// The root of a mount (bind mounts on the same device included).
    bool isMountRoot = false;
    FileIdentity identity;
    /// The kernel's mount id; 0 when unknown.
    std::uint64_t mountId = 0;
    /// The owning user.
    std::uint32_t owner = 0;
    /// The permission bits (07777).
    std::uint32_t permissions = 0;
    /// The owning group.
    std::uint32_t group = 0;
  };

  virtual ~GuardFileFacts() = default;
  /// Whether `path` exists, following symbolic links.
  virtual bool exists(const std::string &path) const = 0;
  /// The entry itself, not following a link; nothing when it cannot be
  /// read, with errno saying why when the system was asked (facts that
  /// leave errno alone are read as "nothing there").
  virtual std::optional<LinkStatus> linkStatus(const std::string &path) const = 0;
  /// `path` with every symbolic link resolved; nothing when that fails.
  virtual std::optional<std::string> canonicalPath(const std::string &path) const = 0;
  /// What the symbolic link `path` holds; nothing when it is no link or
  /// cannot be read (the default, for facts that know no link texts).
  virtual std::optional<std::string> linkText(const std::string &path) const;
  /// The identity of what `path` names, following links; nothing when
  /// nothing is there.
  virtual std::optional<FileIdentity> identity(const std::string &path) const = 0;
  /// The names in the folder `path` (following links), without "." and
  /// "..": empty when it cannot be listed.
  virtual std::vector<std::string> folderNames(const std::string &path) const = 0;
  /// The contents of a small text file (up to 1 MiB), or nothing when it
  /// cannot be read.
  virtual std::optional<std::string> readSmallFile(const std::string &path) const = 0;
  /// The user's home folder as the password database has it, which may
  /// differ from $HOME; nothing when there is no entry.
  virtual std::optional<std::string> accountHome() const = 0;
  /// The mounts this process sees; nothing when they cannot be known (no
  /// mount table), which the guard treats as a reason to refuse.
  virtual std::optional<MountTable> mountTable() const = 0;

  static const GuardFileFacts &system();
};

} // namespace tarnwick

template <> struct std::hash<tarnwick::FileIdentity> {
  std::size_t operator()(const tarnwick::FileIdentity &id) const noexcept {
    return std::hash<std::uint64_t>{}(id.inode * 0x9e3779b97f4a7c15ULL ^ id.device);
  }
};
