#pragma once

#include <stdexcept>
#include <string>

namespace tarnwick {

/// Why the deletion guard refused a path. what() is the user-facing text.
class DeletionGuardError : public std::runtime_error {
public:
  enum class Kind {
    pathTraversalAttempt,
    blockedProtectedPath,
    symbolicLinkNotAllowed,
    sipOrSystemImmutable,
    outsideAllowlistedRoots,
    pathDoesNotExist,
    /// Something may be there, but the system would not say what
    /// (`location()` holds its reason: no permission, a name too long…).
    pathCannotBeExamined,
    emptyPath,
    /// The candidate holds a protected location (`location()`).
    containsProtectedLocation,
    /// The candidate is a mount point or holds one (`location()`).
    containsMountPoint,
  };

  /// `path` is ignored for emptyPath; `location` is used only by the kinds
  /// that name a second place.
  DeletionGuardError(Kind kind, std::string path, std::string location = {});

  Kind kind() const { return kind_; }
  /// The offending path as given for traversal, standardised otherwise;
  /// empty for emptyPath.
  const std::string &path() const { return path_; }
  /// The protected location or mount point inside the candidate.
  const std::string &location() const { return location_; }
  std::string errorDescription() const { return what(); }

  friend bool operator==(const DeletionGuardError &a, const DeletionGuardError &b) {
    return a.kind_ == b.kind_ && a.path_ == b.path_ && a.location_ == b.location_;
  }

private:
  Kind kind_;
  std::string path_;
  std::string location_;
};

} // namespace tarnwick
