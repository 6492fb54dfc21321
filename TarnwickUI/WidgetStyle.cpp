#include "TarnwickUI/WidgetStyle.h"

#include <QApplication>
#include <QEvent>
#include <QFile>
#include <QLabel>
#include <QPalette>
#include <QStringDecoder>
#include <QStyle>
#include <QStyleFactory>
#include <QToolTip>

namespace tarnwick::WidgetStyle {

namespace {

// The few colours a chrome variant chooses; the rest of its palette
// follows from them the same way in both variants.
struct ChromeColours {
  QColor window, base, button, text, disabled, accent, toolTipBase, brightText;
  QColor light, midlight, mid, dark, shadow, link, linkVisited, disabledHighlight;
};

QPalette paletteFrom(const ChromeColours &c) {
  QPalette palette;
  palette.setColor(QPalette::Window, c.window);
  palette.setColor(QPalette::WindowText, c.text);
  palette.setColor(QPalette::Base, c.base);
  palette.setColor(QPalette::AlternateBase, c.window);
  palette.setColor(QPalette::ToolTipBase, c.toolTipBase);
  palette.setColor(QPalette::ToolTipText, c.text);
  palette.setColor(QPalette::PlaceholderText, c.disabled);
  palette.setColor(QPalette::Text, c.text);
  palette.setColor(QPalette::Button, c.button);
  palette.setColor(QPalette::ButtonText, c.text);
  palette.setColor(QPalette::BrightText, c.brightText);
  palette.setColor(QPalette::Light, c.light);
  palette.setColor(QPalette::Midlight, c.midlight);
  palette.setColor(QPalette::Mid, c.mid);
  palette.setColor(QPalette::Dark, c.dark);
  palette.setColor(QPalette::Shadow, c.shadow);
  palette.setColor(QPalette::Highlight, c.accent);
  palette.setColor(QPalette::HighlightedText, Qt::white);
  palette.setColor(QPalette::Link, c.link);
  palette.setColor(QPalette::LinkVisited, c.linkVisited);
  for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
    palette.setColor(QPalette::Disabled, role, c.disabled);
  palette.setColor(QPalette::Disabled, QPalette::Highlight, c.disabledHighlight);
  return palette;
}

} // namespace

QPalette darkPalette() {
  const QColor window(0x23, 0x24, 0x28);
  const QColor button(0x2e, 0x30, 0x35);
  const QColor accentColour(0x3d, 0x8b, 0xfd);
  return paletteFrom({window, QColor(0x1b, 0x1c, 0x1f), button, QColor(0xec, 0xec, 0xef), QColor(0x7a, 0x7b, 0x80),
                      accentColour, QColor(0x1c, 0x1c, 0x21), QColor(0xff, 0x5f, 0x57), button.lighter(130),
                      button.lighter(115), button.darker(130), window.darker(150), Qt::black,
                      accentColour.lighter(120), accentColour, QColor(0x4a, 0x4c, 0x52)});
}

QPalette lightPalette() {
  const QColor button(0xe4, 0xe5, 0xe9);
  // Darker than the dark variant's accent: white text on it and the accent
  // as text on the window both keep a readable contrast.
  const QColor accentColour(0x1f, 0x6f, 0xe5);
  return paletteFrom({QColor(0xf3, 0xf3, 0xf5), Qt::white, button, QColor(0x1d, 0x1d, 0x21), QColor(0x8e, 0x8f, 0x94),
                      accentColour, QColor(0xfb, 0xfb, 0xfc), QColor(0xc4, 0x2b, 0x1c), Qt::white,
                      button.lighter(105), button.darker(125), button.darker(150), QColor(0x60, 0x60, 0x66),
                      accentColour, accentColour.darker(120), QColor(0xc8, 0xc9, 0xce)});
}

QPalette paletteFor(Tone tone) { return tone == Tone::light ? lightPalette() : darkPalette(); }

Tone currentTone() { return QApplication::palette().color(QPalette::Window).lightness() >= 128 ? Tone::light : Tone::dark; }

void applyDarkTheme(QApplication &application) { applyTheme(application, Tone::dark); }

void applyTheme(QApplication &application, Tone tone) {
  if (!application.style() || application.style()->name().compare(QStringLiteral("fusion"), Qt::CaseInsensitive) != 0)
    application.setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
  const QPalette palette = paletteFor(tone);
  application.setPalette(palette);
  QToolTip::setPalette(palette); // tooltips keep a palette of their own
}

QFont textFont(int pixelSize, QFont::Weight weight, Design design) {
  QFont result = QApplication::font();
  if (design == Design::monospaced) {
    result.setFamily(QStringLiteral("monospace"));
    result.setStyleHint(QFont::Monospace);
  }
  result.setPixelSize(pixelSize);
  result.setWeight(weight);
  return result;
}

QColor white(double opacity) { return QColor::fromRgbF(1, 1, 1, float(opacity)); }

QColor ink(double opacity) {
  const float level = currentTone() == Tone::light ? 0.0f : 1.0f;
  return QColor::fromRgbF(level, level, level, float(opacity));
}

QColor primaryText() { return QApplication::palette().color(QPalette::WindowText); }

QColor secondaryText(double opacity) {
  QColor colour = primaryText();
  colour.setAlphaF(float(0.58 * opacity));
  return colour;
}

QColor accent(double opacity) {
  QColor colour = QApplication::palette().color(QPalette::Highlight);
  colour.setAlphaF(float(opacity));
  return colour;
}

QColor windowBackground(double opacity) {
  QColor colour = QApplication::palette().color(QPalette::Window);
  colour.setAlphaF(float(opacity));
  return colour;
}

QColor underPageBackground() { return QApplication::palette().color(QPalette::Window).darker(125); }

QColor controlBackground() { return QApplication::palette().color(QPalette::Button); }

QColor destructiveRed() { return QColor(0xe5, 0x48, 0x4d); }

namespace {

/// Calls its function on each palette change of the widget it filters.
class PaletteFollower : public QObject {
public:
  PaletteFollower(QWidget *widget, std::function<void()> refresh) : QObject(widget), refresh_(std::move(refresh)) {
    widget->installEventFilter(this);
  }
  bool eventFilter(QObject *, QEvent *event) override {
    if (event->type() == QEvent::PaletteChange)
      refresh_();
    return false;
  }

private:
  std::function<void()> refresh_;
};

} // namespace

void followPalette(QWidget *widget, std::function<void()> refresh) {
  refresh();
  new PaletteFollower(widget, std::move(refresh));
}

QLabel *makeLabel(const QString &text, const QFont &font, const QColor &colour, QWidget *parent) {
  auto *label = new QLabel(text, parent);
  label->setFont(font);
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, colour);
  label->setPalette(palette);
  return label;
}

QString displayText(std::string_view bytes) {
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  QString decoded = utf8(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
  if (utf8.hasError())
    decoded = QFile::decodeName(QByteArray(bytes.data(), qsizetype(bytes.size())));
  // A control character would break a line, move the text or vanish, each
  // view in its own way: every view shows a visible mark instead, one the
  // usual desktop fonts have (few carry the control pictures, U+2400…).
  for (QChar &c : decoded)
    if (c == u'\n' || c == u'\r')
      c = QChar(char16_t(0x23ce)); // ⏎
    else if (c.unicode() < 0x20 || c.unicode() == 0x7f)
      c = QChar::ReplacementCharacter;
  return decoded;
}

} // namespace tarnwick::WidgetStyle
