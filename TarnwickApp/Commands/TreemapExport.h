#pragma once

#include "TarnwickUI/TreemapRect.h"

#include <cstdio>
#include <span>
#include <string>

namespace quillane {

/// The tiles as a JSON array: per tile its id, name, path, frame and
/// insetFrame ({x, y, width, height}), fractionOfParent, isAggregatedTail,
/// aggregatedItemCount and fill colour ("#rrggbb"). Names that are not valid
/// UTF-8 are written with U+FFFD in place of the bad bytes.
std::string treemapJson(std::span<const tarnwick::TreemapRect> tiles);

/// Draws the tiles with the shared tile painter onto a `size` canvas and
/// writes it to `out`, as PNG (on the explorer's dark background) or SVG.
/// The SVG is well-formed XML whatever the names and `title` hold: text is
/// escaped, and characters XML cannot carry become U+FFFD. Needs a
/// QGuiApplication. False when encoding or writing failed.
bool writeTreemapPng(std::span<const tarnwick::TreemapRect> tiles, tarnwick::CanvasSize size, std::FILE *out);
bool writeTreemapSvg(std::span<const tarnwick::TreemapRect> tiles, tarnwick::CanvasSize size, std::FILE *out,
                     const std::string &title);

} // namespace quillane
