#pragma once

#include <QColor>
#include <QFont>
#include <QString>

#include <functional>
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

/// The two variants of the chrome. Data colours (treemap tiles) are the
/// same in both; text and fills drawn on the chrome follow the variant.
enum class Tone { dark, light };

/// Fusion with the dark palette.
void applyDarkTheme(QApplication &application);
/// Fusion with the palette of `tone`, tooltips included.
void applyTheme(QApplication &application, Tone tone);
QPalette darkPalette();
QPalette lightPalette();
QPalette paletteFor(Tone tone);
/// The variant the application palette is in now, by its window colour.
Tone currentTone();

enum class Design { standard, monospaced };
QFont textFont(int pixelSize, QFont::Weight weight = QFont::Normal, Design design = Design::standard);

QColor white(double opacity);
/// The chrome's ink at `opacity`, for hairlines and faint fills over the
/// window: white on the dark variant, black on the light one.
QColor ink(double opacity);
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

/// Runs `refresh` now and whenever `widget`'s palette changes (the light
/// or dark variant chosen): for what a widget holds drawn in the chrome's
/// colours, such as tinted symbols. Ends with the widget.
void followPalette(QWidget *widget, std::function<void()> refresh);

/// A label in `font` and text colour `colour`, owned by `parent`.
QLabel *makeLabel(const QString &text, const QFont &font, const QColor &colour, QWidget *parent);

/// A name or path from the file system for display: UTF-8 where it is,
/// the locale's decoding of anything else; on one line, a line break shown
/// as "⏎" and any other control character (a tab, an escape) as U+FFFD.
QString displayText(std::string_view bytes);

} // namespace WidgetStyle
} // namespace tarnwick
