#pragma once

#include <QObject>
#include <QString>
#include <QVariant>

#include <functional>
#include <optional>

class QDBusVariant;

namespace tarnwick {

/// The desktop's light or dark preference, as the freedesktop appearance
/// portal publishes it (namespace "org.freedesktop.appearance", key
/// "color-scheme"). The D-Bus call sits behind a caller so tests answer
/// for the portal without a session bus.
///
/// Threads: GUI thread only; a call blocks for at most half a second.
class AppearancePortal : public QObject {
  Q_OBJECT

public:
  enum class Preference { none, dark, light };
  /// Calls the Settings interface's `method` ("ReadOne" or "Read") for the
  /// colour scheme and returns the reply's value, nothing when the call
  /// fails (no portal, no such method, no session bus).
  using Caller = std::function<std::optional<QVariant>(const QString &method)>;

  /// The portal on the session bus, followed live through SettingChanged.
  explicit AppearancePortal(QObject *parent = nullptr);
  explicit AppearancePortal(Caller caller, QObject *parent = nullptr);

  /// Nothing when the portal cannot be asked; ReadOne first, then the older Read.
  std::optional<Preference> preference() const;
  /// A reply value: a number (ReadOne), or the same wrapped in one more
  /// variant (Read). Anything else is no answer.
  static std::optional<Preference> decode(const QVariant &value);

signals:
  void preferenceChanged();

public slots:
  /// The portal's SettingChanged signal; only the colour scheme matters.
  void settingChanged(const QString &group, const QString &key, const QDBusVariant &value);

private:
  Caller caller_;
};

} // namespace tarnwick
