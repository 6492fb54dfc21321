#pragma once

#include <stdexcept>
#include <string>

namespace tarnwick {

/// A removal that stopped part-way; what was removed before it stays removed.
class RemovalError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

/// Removes `path` and, for a folder, everything below it, without ever
/// following a symbolic link: every step works relative to an open folder
/// descriptor (unlinkat, openat with O_NOFOLLOW), so a folder swapped for a
/// link mid-way loses the link, never the link's target. Depth is bounded
/// only by descriptors, one per level being removed.
void removePermanently(const std::string &path);

} // namespace tarnwick
