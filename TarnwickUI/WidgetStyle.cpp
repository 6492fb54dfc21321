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

QPalette darkPalette() {
  const QColor window(0x23, 0x24, 0x28);
  const QColor base(0x1b, 0x1c, 0x1f);
  const QColor button(0x2e, 0x30, 0x35);
  const QColor text(0xec, 0xec, 0xef);
  const QColor disabled(0x7a, 0x7b, 0x80);
  const QColor accentColour(0x3d, 0x8b, 0xfd);
  QPalette palette;
  palette.setColor(QPalette::Window, window);
  palette.setColor(QPalette::WindowText, text);
  palette.setColor(QPalette::Base, base);
  palette.setColor(QPalette::AlternateBase, window);
  palette.setColor(QPalette::ToolTipBase, QColor(0x1c, 0x1c, 0x21));
  palette.setColor(QPalette::ToolTipText, text);
  palette.setColor(QPalette::PlaceholderText, disabled);
  palette.setColor(QPalette::Text, text);
  palette.setColor(QPalette::Button, button);
  palette.setColor(QPalette::ButtonText, text);
  palette.setColor(QPalette::BrightText, QColor(0xff, 0x5f, 0x57));
  palette.setColor(QPalette::Light, button.lighter(130));
  palette.setColor(QPalette::Midlight, button.lighter(115));
  palette.setColor(QPalette::Mid, button.darker(130));
  palette.setColor(QPalette::Dark, window.darker(150));
  palette.setColor(QPalette::Shadow, Qt::black);
  palette.setColor(QPalette::Highlight, accentColour);
  palette.setColor(QPalette::HighlightedText, Qt::white);
  palette.setColor(QPalette::Link, accentColour.lighter(120));
  palette.setColor(QPalette::LinkVisited, accentColour);
  for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
    palette.setColor(QPalette::Disabled, role, disabled);
  palette.setColor(QPalette::Disabled, QPalette::Highlight, QColor(0x4a, 0x4c, 0x52));
  return palette;
}

QPalette lightPalette() {
  const QColor window(0xf3, 0xf3, 0xf5);
  const QColor base(0xff, 0xff, 0xff);
  const QColor button(0xe4, 0xe5, 0xe9);
  const QColor text(0x1d, 0x1d, 0x21);
  const QColor disabled(0x8e, 0x8f, 0x94);
  // Darker than the dark variant's accent: white text on it and the accent
  // as text on the window both keep a readable contrast.
  const QColor accentColour(0x1f, 0x6f, 0xe5);
  QPalette palette;
  palette.setColor(QPalette::Window, window);
  palette.setColor(QPalette::WindowText, text);
  palette.setColor(QPalette::Base, base);
  palette.setColor(QPalette::AlternateBase, window);
  palette.setColor(QPalette::ToolTipBase, QColor(0xfb, 0xfb, 0xfc));
  palette.setColor(QPalette::ToolTipText, text);
  palette.setColor(QPalette::PlaceholderText, disabled);
  palette.setColor(QPalette::Text, text);
  palette.setColor(QPalette::Button, button);
  palette.setColor(QPalette::ButtonText, text);
  palette.setColor(QPalette::BrightText, QColor(0xc4, 0x2b, 0x1c));
  palette.setColor(QPalette::Light, Qt::white);
  palette.setColor(QPalette::Midlight, button.lighter(105));
  palette.setColor(QPalette::Mid, button.darker(125));
  palette.setColor(QPalette::Dark, button.darker(150));
  palette.setColor(QPalette::Shadow, QColor(0x60, 0x60, 0x66));
  palette.setColor(QPalette::Highlight, accentColour);
  palette.setColor(QPalette::HighlightedText, Qt::white);
  palette.setColor(QPalette::Link, accentColour);
  palette.setColor(QPalette::LinkVisited, accentColour.darker(120));
  for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
    palette.setColor(QPalette::Disabled, role, disabled);
  palette.setColor(QPalette::Disabled, QPalette::Highlight, QColor(0xc8, 0xc9, 0xce));
  return palette;
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
  if (!utf8.hasError())
    return decoded;
  return QFile::decodeName(QByteArray(bytes.data(), qsizetype(bytes.size())));
}

} // namespace tarnwick::WidgetStyle
