#pragma once

#include "TarnwickCore/Support/UniqueFd.h"

#include <string>

namespace tarnwick {

/// Opens the folder at the absolute `path` so that no component of it, the
/// last included, is followed if it is a symbolic link: each component is
/// opened relative to the previous one with O_NOFOLLOW. The result is an
/// O_PATH descriptor, good for *at() calls, fstat and further opens, but not
/// for reading entries. "." and ".." components are refused (ELOOP would be
/// misleading, so errno is EINVAL), as is a relative path.
///
/// Fails (invalid handle, errno set) with ELOOP or ENOTDIR when some
/// component is a link or not a folder. Paths of any length work.
UniqueFd openFolderWithoutLinks(const std::string &path);

/// The parent folder of the absolute `path`, opened by openFolderWithoutLinks,
/// and the last component. Fails (invalid handle, errno EINVAL) for "/" and
/// for paths that end in a separator.
struct ParentAndName {
  UniqueFd parent;
  std::string name;
};
ParentAndName openParentWithoutLinks(const std::string &path);

/// Opens `path` as a directory without following a link in its last
/// component. Paths longer than PATH_MAX are opened in steps, each relative
/// to the descriptor of an ancestor. Returns -1 (errno set) on failure; the
/// caller owns the descriptor.
int openDirectoryNoFollow(const std::string &path);

} // namespace tarnwick
