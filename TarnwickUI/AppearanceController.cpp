#include "TarnwickUI/AppearanceController.h"

#include <QApplication>
#include <QHash>
#include <QPalette>
#include <QPointer>
#include <QRegularExpression>
#include <QSettings>
#include <QWidget>

namespace tarnwick {
namespace {

using WidgetStyle::Tone;

const char *const names[] = {"system", "light", "dark"};

AppearanceController::Appearance savedAppearance() {
  const QString saved = QSettings().value(QLatin1String(AppearanceController::settingsKey())).toString();
  for (int i = 0; i < 3; ++i)
    if (saved == QLatin1String(names[i]))
      return AppearanceController::Appearance(i);
  return AppearanceController::Appearance::system;
}

/// From the colours of one variant to the other's, by RGB (the alpha of a
/// use is its own): every palette role, the deeper background, and the ink.
class ColourMap {
public:
  ColourMap(const QPalette &from, const QPalette &to) {
    // The first role to name a colour decides where it goes (the accent is
    // Highlight, not LinkVisited); Active before the other groups.
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
      for (int role = 0; role < QPalette::NColorRoles; ++role)
        add(from.color(group, QPalette::ColorRole(role)), to.color(group, QPalette::ColorRole(role)));
    add(from.color(QPalette::Window).darker(125), to.color(QPalette::Window).darker(125));
    // White and black are the ink alone: a role that is white (text on the
    // accent) stays white in both variants.
    colours_.insert(ink(from).rgb() & RGB_MASK, ink(to));
  }
  QColor map(const QColor &colour) const {
    const auto found = colours_.constFind(colour.rgb() & RGB_MASK);
    if (found == colours_.cend() || found->rgb() == colour.rgb())
      return colour;
    QColor mapped = *found;
    mapped.setAlphaF(colour.alphaF());
    return mapped;
  }

private:
  static QColor ink(const QPalette &palette) {
    return palette.color(QPalette::Window).lightness() >= 128 ? QColor(Qt::black) : QColor(Qt::white);
  }
  void add(const QColor &from, const QColor &to) {
    const QRgb key = from.rgb() & RGB_MASK;
    if (key != 0 && key != RGB_MASK && !colours_.contains(key))
      colours_.insert(key, to);
  }
  QHash<QRgb, QColor> colours_;
};

/// A widget's palette with the colours it was given mapped; those it took
/// from the application are already the new ones and stay.
QPalette recoloured(QPalette palette, const QPalette &application, const ColourMap &colours) {
  for (QPalette::ColorGroup group : {QPalette::Disabled, QPalette::Inactive, QPalette::Active})
    for (int role = 0; role < QPalette::NColorRoles; ++role) {
      const auto colourRole = QPalette::ColorRole(role);
      const QColor colour = palette.color(group, colourRole);
      if (colour != application.color(group, colourRole))
        palette.setColor(group, colourRole, colours.map(colour));
    }
  return palette;
}

/// Colours in a style sheet: #rrggbb, #aarrggbb and rgba(r,g,b,a).
QString recoloured(const QString &sheet, const ColourMap &colours) {
  static const QRegularExpression colour(
      QStringLiteral(R"(#([0-9a-fA-F]{8}|[0-9a-fA-F]{6})\b|rgba\(\s*(\d+)\s*,\s*(\d+)\s*,\s*(\d+)\s*,\s*(\d+)\s*\))"));
  QString result;
  qsizetype last = 0;
  for (auto matches = colour.globalMatch(sheet); matches.hasNext();) {
    const QRegularExpressionMatch match = matches.next();
    result += QStringView(sheet).mid(last, match.capturedStart() - last);
    last = match.capturedEnd();
    if (match.capturedLength(1) > 0) {
      const QColor mapped = colours.map(QColor::fromString(match.captured(0)));
      result += match.capturedLength(1) == 8 ? mapped.name(QColor::HexArgb) : mapped.name(QColor::HexRgb);
    } else {
      const QColor mapped = colours.map(
          QColor(match.captured(2).toInt(), match.captured(3).toInt(), match.captured(4).toInt(), match.captured(5).toInt()));
      result += QStringLiteral("rgba(%1,%2,%3,%4)").arg(mapped.red()).arg(mapped.green()).arg(mapped.blue()).arg(mapped.alpha());
    }
  }
  result += QStringView(sheet).mid(last);
  return result;
}

} // namespace

AppearanceController &AppearanceController::instance() {
  static QPointer<AppearanceController> controller;
  if (!controller)
    controller = new AppearanceController(std::make_unique<AppearancePortal>(),
                                          QApplication::palette().color(QPalette::Window), qApp);
  return *controller;
}

AppearanceController::AppearanceController(std::unique_ptr<AppearancePortal> portal, QColor platformWindow,
                                           QObject *parent)
    : QObject(parent), platformWindow_(platformWindow), appearance_(savedAppearance()),
      tone_(WidgetStyle::currentTone()) {
  setPortal(std::move(portal));
}

void AppearanceController::setAppearance(Appearance appearance) {
  QSettings().setValue(QLatin1String(settingsKey()), QLatin1String(names[int(appearance)]));
  if (appearance == appearance_)
    return apply();
  appearance_ = appearance;
  apply();
  emit appearanceChanged(appearance);
}

void AppearanceController::setPortal(std::unique_ptr<AppearancePortal> portal) {
  portal_ = std::move(portal);
  if (portal_)
    connect(portal_.get(), &AppearancePortal::preferenceChanged, this, [this] {
      if (appearance_ == Appearance::system)
        apply();
    });
}

void AppearanceController::setPlatformWindowColour(QColor colour) { platformWindow_ = colour; }

Tone AppearanceController::resolve() const {
  if (appearance_ != Appearance::system)
    return appearance_ == Appearance::light ? Tone::light : Tone::dark;
  if (const auto preference = portal_ ? portal_->preference() : std::nullopt;
      preference && *preference != AppearancePortal::Preference::none)
    return *preference == AppearancePortal::Preference::light ? Tone::light : Tone::dark;
  return platformWindow_.lightness() >= 128 ? Tone::light : Tone::dark;
}

void AppearanceController::apply() {
  const QPalette before = QApplication::palette();
  const Tone tone = resolve();
  WidgetStyle::applyTheme(*qApp, tone);
  recolourWidgets(before, QApplication::palette());
  if (tone != tone_) {
    tone_ = tone;
    emit toneChanged(tone);
  }
}

void AppearanceController::recolourWidgets(const QPalette &from, const QPalette &to) {
  if (from == to)
    return;
  const ColourMap colours(from, to);
  for (QWidget *widget : QApplication::allWidgets()) {
    if (widget->testAttribute(Qt::WA_SetPalette) && !widget->property(fixedColoursProperty()).toBool())
      widget->setPalette(recoloured(widget->palette(), to, colours));
    if (const QString sheet = widget->styleSheet(); !sheet.isEmpty())
      // One naming palette roles is resolved when set: set it again.
      if (const QString changed = recoloured(sheet, colours);
          changed != sheet || sheet.contains(QLatin1String("palette(")))
        widget->setStyleSheet(changed);
    widget->update();
  }
}

} // namespace tarnwick
