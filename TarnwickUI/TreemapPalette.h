#pragma once

#include "TarnwickCore/Catalogue/CleanableCategory.h"
#include "TarnwickUI/TreemapRect.h"

#include <QColor>
#include <QString>

#include <cstdint>
#include <optional>
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
  /// `a` moved towards `b` by `t` (0: a, 1: b), channel by channel, opaque.
  static QColor mix(const QColor &a, const QColor &b, double t);
  /// The WCAG contrast ratio of two opaque colours, from 1 to 21.
  static double contrastRatio(const QColor &a, const QColor &b);
  /// White or black, whichever reads better on `fill` (its alpha ignored):
  /// at least 4.58:1 on any colour.
  static QColor labelColor(const QColor &fill);
  /// A category guessed from a path by an ordered table of substring and
  /// extension rules (ASCII case-insensitive); none when nothing matches.
  static std::optional<CleanableCategory> inferCategory(std::string_view path);
  /// The same for a path already lower-cased (ASCII letters), which spares
  /// whole-tree walks a copy per node.
  static std::optional<CleanableCategory> inferCategoryLowered(std::string_view loweredPath);
  /// A node's category: its hint, else the one inferred from its path; none
  /// for a node that nothing describes (an ordinary folder or file).
  static std::optional<CleanableCategory> categoryOf(const DiskNode &node);
  /// The fill of a tile: the tail in charcoal; other tiles in the colour of
  /// their category, fading with depth unless hovered. A tile without one
  /// takes the colour of "Application Caches", so the map keeps its looks,
  /// though nothing says it is one.
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
