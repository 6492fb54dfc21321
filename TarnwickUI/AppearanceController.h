#pragma once

#include "TarnwickUI/AppearancePortal.h"
#include "TarnwickUI/WidgetStyle.h"

#include <QColor>
#include <QObject>

#include <memory>

class QPalette;

namespace tarnwick {

/// The appearance the user chose (System, Light or Dark), remembered in the
/// settings, and the chrome variant it comes to: System follows the
/// appearance portal, and where it is absent or has no preference, the
/// lightness of the desktop's own window colour. A change is applied at once
/// to the application palette, tooltips, and every open window, including
/// the colours widgets were given explicitly and their style sheets.
///
/// Threads: GUI thread only. One per application (instance()), a child of it.
class AppearanceController : public QObject {
  Q_OBJECT

public:
  enum class Appearance { system, light, dark };

  /// Made on first use with the session bus's portal and the application's
  /// palette at that time as the desktop's; make it before any palette of
  /// the application's own is set.
  static AppearanceController &instance();

  Appearance appearance() const { return appearance_; }
  WidgetStyle::Tone tone() const { return tone_; }
  /// Remembers `appearance` and applies what it comes to.
  void setAppearance(Appearance appearance);
  /// Replaces where System reads the desktop's preference, and applies again.
  void setPortal(std::unique_ptr<AppearancePortal> portal);
  /// The desktop's window colour, for System without a portal preference.
  void setPlatformWindowColour(QColor colour);
  /// Applies the remembered choice (the application starts with this).
  void apply();

  static const char *settingsKey() { return "view/appearance"; }
  /// A widget with this property set to true keeps the palette it set when
  /// the appearance changes: one that paints its own dark plate in either.
  static const char *fixedColoursProperty() { return "fixedColours"; }

signals:
  void appearanceChanged(tarnwick::AppearanceController::Appearance appearance);
  void toneChanged(tarnwick::WidgetStyle::Tone tone);

private:
  AppearanceController(std::unique_ptr<AppearancePortal> portal, QColor platformWindow, QObject *parent);
  WidgetStyle::Tone resolve() const;
  /// Colours set on widgets from the old palette take the new palette's,
  /// except on widgets with fixedColoursProperty().
  static void recolourWidgets(const QPalette &from, const QPalette &to);

  std::unique_ptr<AppearancePortal> portal_;
  QColor platformWindow_;
  Appearance appearance_;
  WidgetStyle::Tone tone_ = WidgetStyle::Tone::dark;
};

} // namespace tarnwick
