#include "TarnwickCore/Deletion/DeletionGuardError.h"

namespace tarnwick {
namespace {

std::string describe(DeletionGuardError::Kind kind, const std::string &path, const std::string &location) {
  using Kind = DeletionGuardError::Kind;
  switch (kind) {
  case Kind::pathTraversalAttempt:
    return "Deletion rejected: Path traversal attempt ('..') detected in '" + path + "'.";
  case Kind::blockedProtectedPath:
    return "Deletion rejected: Path '" + path + "' is a protected system or user crown-jewel directory.";
  case Kind::symbolicLinkNotAllowed:
    return "Deletion rejected: Path '" + path +
           "' is a symbolic link. Symlink deletion is prohibited to prevent collateral file loss.";
  case Kind::sipOrSystemImmutable:
    return "Deletion rejected: Path '" + path +
           "' is protected by System Integrity Protection (SIP) or immutable filesystem flags.";
  case Kind::outsideAllowlistedRoots:
    return "Deletion rejected: Path '" + path +
           "' is outside approved cache/cleanup directories and lacks explicit user confirmation.";
  case Kind::pathDoesNotExist:
    return "Deletion rejected: Path '" + path + "' does not exist.";
  case Kind::pathCannotBeExamined:
    return "Deletion rejected: Path '" + path + "' cannot be examined: " + location + ".";
  case Kind::emptyPath:
    return "Deletion rejected: Path is empty.";
  case Kind::containsProtectedLocation:
    return "Deletion rejected: Path '" + path + "' contains the protected location '" + location + "'.";
  case Kind::containsMountPoint:
    if (location.empty())
      return "Deletion rejected: Path '" + path +
             "' cannot be checked for mount points inside it: the mount table cannot be read.";
    if (location == path)
      return "Deletion rejected: Path '" + path + "' is a mount point. Another file system is mounted there.";
    return "Deletion rejected: Path '" + path + "' contains the mount point '" + location +
           "'. Another file system is mounted there.";
  }
  return "Deletion rejected.";
}

} // namespace

DeletionGuardError::DeletionGuardError(Kind kind, std::string path, std::string location)
    : std::runtime_error(describe(kind, kind == Kind::emptyPath ? std::string() : path, location)), kind_(kind),
      path_(kind == Kind::emptyPath ? std::string() : std::move(path)), location_(std::move(location)) {}

} // namespace tarnwick
