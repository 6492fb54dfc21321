#pragma once

#include <QColor>
#include <QFont>
#include <QString>

#include <string>
#include <string_view>

class QApplication;
class QLabel;
class QWidget;
class QPalette;

namespace tarnwick {

/// The look shared by every surface of the window: the dark palette, fonts
/// by pixel size, and the few colours the design names. Sizes are
/// device-independent pixels, so they scale with the device pixel ratio.
///
/// Threads: GUI thread only.
namespace WidgetStyle {

/// Fusion with a dark palette, so white labels and white-at-low-opacity
/// fills read well on every surface whatever the desktop's theme.
void applyDarkTheme(QApplication &application);
QPalette darkPalette();

enum class Design { standard, monospaced };
QFont textFont(int pixelSize, QFont::Weight weight = QFont::Normal, Design design = Design::standard);

QColor white(double opacity);
/// The palette's primary text colour.
QColor primaryText();
/// Primary text toned down, for captions and secondary labels.
QColor secondaryText(double opacity = 1.0);
/// The accent (selection) colour, optionally at an opacity.
QColor accent(double opacity = 1.0);
QColor windowBackground(double opacity = 1.0);
/// Behind the panels; a little darker than the window.
QColor underPageBackground();
QColor controlBackground();
QColor destructiveRed();

/// A label in `font` and text colour `colour`, owned by `parent`.
QLabel *makeLabel(const QString &text, const QFont &font, const QColor &colour, QWidget *parent);

/// A name or path from the file system for display: UTF-8 where it is,
/// the locale's decoding of anything else.
QString displayText(std::string_view bytes);

} // namespace WidgetStyle
} // namespace tarnwick
