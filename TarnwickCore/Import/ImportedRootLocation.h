#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tarnwick {

/// Where the root of a tree read from an export is, seen from this
/// computer: whether its paths name the files it describes, so that they
/// may be cleaned or scanned again here.
enum class ImportedRootLocation : std::uint8_t {
  /// A folder at the root's path, on the recorded device when one is recorded.
  here,
  /// Nothing at the root's path, or something that is not a folder.
  absent,
  /// A folder at the root's path, but on another device than the recorded
  /// one: another disk mounted there, or another computer's export.
  otherDevice,
};

/// Looks at `rootPath` (following a link there, as a scan of it would);
/// `recordedDevice` is the export's st_dev for the root, when it has one.
/// Without one, a folder at the path counts as here. Blocks for as long as
/// stat() does: call it off the GUI thread.
ImportedRootLocation locateImportedRoot(const std::string &rootPath, std::optional<std::uint64_t> recordedDevice);

} // namespace tarnwick
