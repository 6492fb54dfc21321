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
    emptyPath,
  };

  /// `path` is ignored for emptyPath.
  DeletionGuardError(Kind kind, std::string path);

  Kind kind() const { return kind_; }
  /// The offending path (trimmed for traversal, normalised otherwise);
  /// empty for emptyPath.
  const std::string &path() const { return path_; }
  std::string errorDescription() const { return what(); }

  friend bool operator==(const DeletionGuardError &a, const DeletionGuardError &b) {
    return a.kind_ == b.kind_ && a.path_ == b.path_;
  }

private:
  Kind kind_;
  std::string path_;
};

} // namespace tarnwick
