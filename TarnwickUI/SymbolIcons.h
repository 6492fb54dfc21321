#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QString>

#include <string_view>

namespace tarnwick {

/// The window's pictures, asked for by symbol key ("folder.fill", "trash",
/// a category's symbol name …). One table maps each key to a freedesktop
/// icon name; the icon theme answers first, and a drawing bundled with the
/// application stands in when the theme has none (an offscreen platform has
/// no theme at all).
///
/// Threads: GUI thread only (icons and pixmaps need the application).
class SymbolIcons {
public:
  /// The freedesktop icon name the key maps to; empty for an unknown key.
  static QString themeName(std::string_view symbol);
  /// The theme's icon, else the bundled drawing; a null icon for an unknown key.
  static QIcon icon(std::string_view symbol);
  /// The symbol in one colour, `size` device-independent pixels square, at
  /// `devicePixelRatio`; a transparent pixmap for an unknown key.
  static QPixmap tinted(std::string_view symbol, int size, const QColor &tint, qreal devicePixelRatio = 1.0);

private:
  static QPixmap drawTinted(std::string_view symbol, int size, const QColor &tint, qreal devicePixelRatio);
};

} // namespace tarnwick
