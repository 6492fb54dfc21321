#pragma once

#include "TarnwickCore/Catalogue/CacheMeasurement.h"
#include "TarnwickCore/Support/Result.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

/// Sizes the locations of the cache catalogue, one location at a time, on
/// the calling thread.
///
/// A folder is walked relative to directory descriptors (getdents64, then
/// one statx per entry that is not a folder), never following a symbolic
/// link: links add nothing, whether at the location or below it. Only the
/// location's own last component is checked; folders above it are resolved
/// as the system resolves any path, so a home folder reached through a link
/// still works.
///
/// Hard links: a file with several names is counted for what removing the
/// location frees. Within one location it counts once, however many of its
/// names lie there, and not at all when it has names the walk did not meet
/// (elsewhere on the disk, inside a package, or excluded by the filter and
/// so kept): such a name keeps its data alive. survey() keeps such files apart so that several
/// locations can be settled together (see settleSizes).
class CacheSizeMeasurer {
public:
  /// True for an entry name that must add nothing.
  using NameFilter = std::function<bool(std::string_view name)>;

  /// Bytes that removing the location alone frees: survey(...).freedBytes().
  static std::int64_t measure(const std::string &path, const NameFilter &isExcludedName = {},
                              std::stop_token stop = {});

  /// The files of the location, without settling shared ones:
  /// - nothing at `path`, or a symbolic link there: nothing;
  /// - anything but a folder: its logical length (what a listing shows), or
  ///   nothing when `isExcludedName` excludes its name;
  /// - a folder: the allocated bytes (blocks × 512) of every entry below
  ///   it, at any depth, hidden ones included, and of the folder itself:
  ///   what `du` counts, since a folder's listing takes blocks too (4 KiB
  ///   and more on the common file systems, a third of a package cache's
  ///   size). An excluded entry adds nothing, and an excluded folder is not
  ///   entered: cleaning keeps an excluded entry whole, so nothing below it
  ///   is freed, nor the folders that hold it. Packages below the location (folders whose name has a
  ///   package extension, see hasPackageExtension) add nothing and are not
  ///   entered; the location itself is always walked, whatever its name.
  ///   Entries that cannot be read, or vanish during the walk, add nothing.
  ///   A folder that cannot be opened for want of descriptors or memory
  ///   throws (ScanResourceError, std::bad_alloc): the figure would be short.
  ///
  /// Depth is not limited by PATH_MAX or by the descriptor limit: at most
  /// a few dozen folder descriptors are open at once; deeper folders give
  /// theirs up and get them back through "..", checked by device and inode
  /// (a folder moved meanwhile loses its remaining sub-folders).
  ///
  /// Once `stop` is requested the walk ends at the next folder and what
  /// was found so far is returned; callers discard it.
  static CacheMeasurement survey(const std::string &path, const NameFilter &isExcludedName = {},
                                 std::stop_token stop = {});

  /// The content modification time of whatever is at `path` (a link itself,
  /// not its target), in seconds since 1970; nothing when it cannot be read.
  static std::optional<double> modificationTime(const std::string &path);

  /// Whether `path` is a folder (a link to one is not).
  static bool isDirectory(const std::string &path);

  /// The names directly inside the folder `path`, without hidden ones
  /// (starting with "."), sorted by byte value so results do not depend on
  /// the file system's listing order. A failure ("open" or "read", with the
  /// errno) when `path` is not a folder (a link to one included) or cannot
  /// be listed completely; a throw, as for survey(), when descriptors or
  /// memory ran out.
  static Result<std::vector<std::string>> visibleEntryNames(const std::string &path);
  /// The same, hidden names included when `withHidden` is set.
  static Result<std::vector<std::string>> entryNames(const std::string &path, bool withHidden);
};

} // namespace tarnwick
