#include "TarnwickApp/Commands/TreemapCommandSyntax.h"

#include "TarnwickApp/Commands/ScanCommand.h"

namespace quillane {

const CommandSyntax &treemapCommandSyntax() {
  static const CommandSyntax syntax(
      "treemap", {"treemap [PATH] [OPTION]..."},
      "Scan PATH (default: your home folder) and draw it as a treemap: JSON, SVG or PNG.",
      QList<QCommandLineOption>{
          {"size", "canvas size in points (default 1200x800)", "WxH"},
          {"json", "write the tiles as JSON (frames, shares, colours)", "FILE|-"},
          {"svg", "write the treemap as an SVG drawing", "FILE"},
          {"png", "write the treemap as a PNG image (no display needed)", "FILE"},
      } + scanScopeOptions());
  return syntax;
}

} // namespace quillane
