#pragma once

#include "TarnwickCore/Deletion/ApprovedDeletion.h"
#include "TarnwickCore/Deletion/DeletionGuardError.h"
#include "TarnwickCore/Deletion/GuardFileFacts.h"
#include "TarnwickCore/Deletion/ProtectedLocations.h"

#include <array>
#include <string>
#include <string_view>

namespace tarnwick {

/// The single gate every deletion passes: approves a path that may be
/// deleted, or throws DeletionGuardError saying why not. It only reads
/// metadata.
///
/// In order, it refuses: an empty path (a name of spaces is a name); ".."
/// anywhere; a system root; a protected location or anything its rule
/// covers (see ProtectedLocations: keys, wallets, profiles, the personal
/// folders themselves, in the home folder and in every snap or Flatpak
/// application's own home); a missing path, or one that names a folder
/// with a trailing separator and is not a folder; a symbolic link, or a
/// path that reaches its parent through one; an immutable or append-only
/// item; another name for a protected location (same device and inode,
/// as through a bind mount), or a path inside one by such a name; a folder
/// that holds an existing protected location; a mount point, or a folder
/// that holds one; and finally anything outside the cache and clean-up
/// allowlist, unless the user confirmed an item inside the home folder
/// that is not one of the personal top-level folders itself. Beyond the
/// allowlist it approves what lies inside a cache folder away from
/// ~/.cache, moved by $XDG_CACHE_HOME or through a link, by that folder's
/// own rules (isInMovedCacheHome; the catalogue names its rows at the real
/// folder), and a project's
/// regenerable artefact (ProjectArtefactRules: a folder such as
/// node_modules beside the marker file naming its tool, read at this
/// moment). A home folder
/// that is "/" or another system root counts as none: nothing is inside it.
/// A path inside a bind mount is judged under its unbound name as well.
/// A home folder reached through a link has two names: a path in the real
/// folder it leads to (as a relative one is, from the working folder) is
/// judged, and approved, by the home's own name.
///
/// The path is taken byte for byte: white space is part of a name, so
/// "report.txt " names that file, never "report.txt". Standardising only
/// makes it absolute (against the working directory) and drops "." and
/// repeated separators, which name the same file.
///
/// Threads: stateless; safe from any thread.
class DeletionGuard {
public:
  /// The standardised path that may be deleted.
  static std::string validateDeletionCandidate(std::string_view rawPath, const std::string &homeDirectory,
                                               bool allowUserConfirmedHomeItem,
                                               const GuardFileFacts &files = GuardFileFacts::system());

  /// The same checks, returning the approved entry with the identity it
  /// had. `protectedNow` is ProtectedLocations::snapshot() of the same home
  /// folder, taken by a caller that validates many paths; without it the
  /// guard takes its own.
  static ApprovedDeletion approve(std::string_view rawPath, const std::string &homeDirectory,
                                  bool allowUserConfirmedHomeItem, const ProtectedSnapshot *protectedNow = nullptr,
                                  const GuardFileFacts &files = GuardFileFacts::system());

  /// Refused only when the candidate is exactly one of them.
  static const std::array<std::string_view, 17> systemProtectedRoots;
  static constexpr std::size_t allowlistedRootCount = 42;
  /// Relative to the home folder; equal or below is approved. A "*"
  /// component stands for any one component. Cache folders inside settings
  /// trees (ProtectedLocations::isCacheInsideProfile) are approved too.
  static const std::array<std::string_view, allowlistedRootCount> allowlistedRelativeRoots;
  /// Approved with everything below it (a sibling such as
  /// ".../CachesBackup" is not).
  static constexpr std::string_view allowlistedAbsolutePrefix = "/opt/homebrew/Library/Caches";
  /// First-level home entries never approved themselves by confirmation.
  static const std::array<std::string_view, 12> sensitiveTopLevelNames;

  /// Drops trailing slashes, keeping a lone "/".
  static std::string normalizePath(std::string_view path);
  /// Absolute against the working directory, without "." components,
  /// repeated or trailing separators. Assumes no ".." component.
  static std::string standardize(std::string_view path);
};

} // namespace tarnwick
