#pragma once

#include "TarnwickCore/Deletion/GuardFileFacts.h"
#include "TarnwickCore/Deletion/ProtectedLocations.h"
#include "TarnwickCore/Support/MountTable.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

/// The deletion guard's checks of where a candidate really lies, beyond
/// its name: which file it is, where that file sits in its file system,
/// and what is mounted inside it. Each refuses by throwing
/// DeletionGuardError. Used by DeletionGuard only.
///
/// `target` is the standardised candidate, `realTarget` the same entry
/// through its real parent; the references must outlive the object.
class GuardPlacement {
public:
  GuardPlacement(const std::string &target, const std::string &realTarget, const GuardFileFacts::LinkStatus &status,
                 const MountTable &mounts, const ProtectedSnapshot &protectedNow, const GuardFileFacts &files)
      : target_(target), realTarget_(realTarget), status_(status), mounts_(mounts), protectedNow_(protectedNow),
        files_(files) {}

  /// A protected location under another name, or a path inside one under
  /// another name: the same file (device and inode) as a protected location
  /// or below a folder that is one; or a place in a file system at or
  /// inside a protected location's place (a bind mount of part of it, a
  /// second mount of its file system).
  void refuseOtherNamesOfProtected() const;
  /// A folder whose place in its file system holds a protected location's.
  void refuseHoldersOfProtected() const;
  /// A mount point, or a folder with one inside.
  void refuseMounts() const;

private:
  std::vector<FileSystemLocation> places() const;
  void refuseInside(const ExistingProtectedLocation &location, std::string_view rest) const;

  const std::string &target_;
  const std::string &realTarget_;
  const GuardFileFacts::LinkStatus &status_;
  const MountTable &mounts_;
  const ProtectedSnapshot &protectedNow_;
  const GuardFileFacts &files_;
};

/// A tree of the system's own files, which root owns.
struct SystemTree {
  std::string_view path;
  /// Whether homes the password database names may lie inside: the state
  /// folders of services (/var/lib/postgresql), and everyone's on systems
  /// whose /home and /root are links into /var.
  bool holdsAccountHomes = false;
};

/// The system's trees. For root a home set inside one (HOME=/usr/local/lib,
/// HOME=/var/lib) would make installed files and the services' state its
/// own, so a home there counts only when it is the account's own home; in
/// those that hold no home at all, not even then. No cache folder lies in
/// any of them (MovedCacheHome).
inline constexpr std::array<SystemTree, 20> systemTrees = {{
    {"/bin"}, {"/boot"}, {"/dev"}, {"/etc"}, {"/lib"}, {"/lib32"}, {"/lib64"}, {"/libx32"}, {"/proc"}, {"/run"},
    {"/sbin"}, {"/snap"}, {"/sys"}, {"/usr"}, {"/efi", true}, {"/gnu", true}, {"/nix", true}, {"/opt", true},
    {"/srv", true}, {"/var", true},
}};

/// Whether `home` can stand for the user's home folder: not "/" or another
/// system folder, nothing inside the system's own trees (/usr, /etc…) but
/// the account's own home where such trees hold homes (systemTrees), not
/// the root of a file system (a bind mount of "/"), and owned by the user. A home that fails counts as none: nothing is inside
/// it, so nothing is approved by the user's confirmation.
bool isUsableHome(const std::string &home, const MountTable &mounts, const GuardFileFacts &files);

} // namespace tarnwick
