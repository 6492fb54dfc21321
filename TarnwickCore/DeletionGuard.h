#pragma once

#include "TarnwickCore/DeletionGuardError.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace tarnwick {

/// What the deletion guard reads of the file system. The system's own
/// implementation is the default; tests substitute theirs.
class GuardFileFacts {
public:
  struct LinkStatus {
    bool isSymbolicLink = false;
    /// Immutable or append-only (Linux), or the BSD immutable flags and the
    /// system-integrity attribute (Apple systems).
    bool isImmutable = false;
  };

  virtual ~GuardFileFacts() = default;
  /// Whether `path` exists, following symbolic links.
  virtual bool exists(const std::string &path) const = 0;
  /// The entry itself, not following a link; nothing when it cannot be read.
  virtual std::optional<LinkStatus> linkStatus(const std::string &path) const = 0;
  /// `path` with every symbolic link resolved; nothing when that fails.
  virtual std::optional<std::string> canonicalPath(const std::string &path) const = 0;

  static const GuardFileFacts &system();
};

/// The single gate every deletion passes: returns the standardised path that
/// may be deleted, or throws DeletionGuardError saying why not. It refuses
/// empty paths, "..", system roots, the user's crown jewels, missing paths,
/// symbolic links, immutable items, and anything outside the cache and
/// clean-up allowlist unless the user confirmed an item inside the home
/// folder. It only reads metadata.
///
/// Threads: stateless; safe from any thread.
class DeletionGuard {
public:
  static std::string validateDeletionCandidate(std::string_view rawPath, const std::string &homeDirectory,
                                               bool allowUserConfirmedHomeItem,
                                               const GuardFileFacts &files = GuardFileFacts::system());

  /// Refused only when the candidate is exactly one of them.
  static const std::array<std::string_view, 17> systemProtectedRoots;
  /// Relative to the home folder; "" is the home folder itself.
  static const std::array<std::string_view, 25> userCrownJewelRelativePaths;
  /// Relative to the home folder; equal or below is approved.
  static const std::array<std::string_view, 20> allowlistedRelativeRoots;
  /// Approved as a plain string prefix.
  static constexpr std::string_view allowlistedAbsolutePrefix = "/opt/homebrew/Library/Caches";
  /// First-level home entries never approved themselves by confirmation.
  static const std::array<std::string_view, 11> sensitiveTopLevelNames;

  /// Drops trailing slashes, keeping a lone "/".
  static std::string normalizePath(std::string_view path);
};

} // namespace tarnwick
