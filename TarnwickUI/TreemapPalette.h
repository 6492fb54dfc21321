#pragma once

#include "TarnwickCore/Catalogue/CleanableCategory.h"
#include "TarnwickUI/TreemapRect.h"

#include <QColor>
#include <QString>

#include <cstdint>
#include <string_view>

namespace tarnwick {

/// The treemap's colours and display texts. Every member is static and safe
/// to call from any thread.
class TreemapPalette {
public:
  // The ten named colours, opaque sRGB.
  static QColor electricIndigo();
  static QColor sunsetCoral();
  static QColor cyanTeal();
  static QColor emeraldGreen();
  static QColor violetAI();
  static QColor slateLogs();
  /// Belongs to no category; colours the aggregated tail.
  static QColor mutedCharcoal();
  static QColor warmAmber();
  static QColor sapphireBlue();
  static QColor crimsonTrash();

  static QColor color(CleanableCategory category);
  /// A category guessed from a path by an ordered table of substring and
  /// extension rules (ASCII case-insensitive); "Application Caches" when
  /// nothing matches.
  static CleanableCategory inferCategory(std::string_view path);
  /// The fill of a tile: the tail in charcoal; other tiles in the colour of
  /// their hint (or inferred category), fading with depth unless hovered.
  static QColor tileColor(const TreemapRect &rect, std::int64_t depth, bool isHovered);

  /// File-manager style sizes ("Zero KB", "999 bytes", "12 KB", "4.7 MB",
  /// "1.23 GB"); see formatByteCount.
  static QString formatBytes(std::int64_t bytes);
  /// 0.1234 → "12.3%"; negative fractions give "0.0%".
  static QString formatPercentage(double fraction);
  /// "1 item" / "N items" for folders, "1 file" / "N files" otherwise, with
  /// the user's locale grouping ("12,345 files").
  static QString formatItemCount(std::int64_t count, bool isDirectory);
};

} // namespace tarnwick
