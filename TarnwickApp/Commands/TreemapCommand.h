#pragma once

#include "TarnwickApp/Commands/CommandSyntax.h"
#include "TarnwickApp/Commands/TreemapCommandSyntax.h"
#include "TarnwickCore/Scan/ScanScope.h"
#include "TarnwickCore/Support/Result.h"
#include "TarnwickUI/CanvasGeometry.h"

#include <optional>
#include <string>

namespace tarnwick {
class FastBulkScanner;
struct UserEnvironment;
} // namespace tarnwick

namespace quillane {

/// Options of `quillane treemap`.
struct TreemapOptions {
  std::string path; // empty: the home folder
  tarnwick::CanvasSize size{1200, 800};
  std::optional<std::string> jsonDestination;
  std::optional<std::string> svgDestination;
  std::optional<std::string> pngDestination;
  /// What the scan leaves out: the scope options of `quillane scan`.
  tarnwick::ScanScope scope;
};

/// The options treemap's arguments ask for; the failure says what is wrong
/// with them. At least one output is required.
tarnwick::Result<TreemapOptions> treemapOptionsFrom(const CommandArguments &arguments);

/// Scans with `scanner` (no path: `user`'s home folder), lays the root's
/// children out and writes every requested output, each complete or not at
/// all. Exit status: 0 on success, 1 when the root cannot be read, an output
/// cannot be written or memory, threads or file descriptors run out, 130
/// when interrupted. Never throws.
int runTreemapCommand(const TreemapOptions &options, const tarnwick::FastBulkScanner &scanner,
                      const tarnwick::UserEnvironment &user);

} // namespace quillane
