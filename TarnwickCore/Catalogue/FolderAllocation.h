#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace tarnwick {

/// The space held below one system folder (the journal, APT's archives),
/// with what could not be read counted rather than silently left out.
///
/// Bytes are allocated bytes (blocks × 512) of every non-folder below, as
/// `du -s -B1` counts them minus the folders' own blocks; links are never
/// followed and hard links are counted at every name (these folders hold
/// none). Folders deeper than 64 levels are not entered.
struct FolderAllocation {
  std::int64_t bytes = 0;
  /// The folder itself exists (a missing one holds nothing and is no error).
  bool exists = false;
  /// The errno that kept the folder itself from being listed; 0 when it was.
  int rootError = 0;
  /// Folders below that could not be listed; what they hold is not counted.
  int unreadableFolders = 0;

  /// True for a name directly inside the folder that is to be counted.
  using TopLevelFilter = std::function<bool(std::string_view name)>;

  /// Measures `path` on the calling thread. Blocking; never throws but
  /// std::bad_alloc.
  static FolderAllocation measure(const std::string &path, const TopLevelFilter &counted = {});
};

} // namespace tarnwick
