#include "TarnwickUI/AppearancePortal.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>

namespace tarnwick {
namespace {

const QString service = QStringLiteral("org.freedesktop.portal.Desktop");
const QString path = QStringLiteral("/org/freedesktop/portal/desktop");
const QString interface = QStringLiteral("org.freedesktop.portal.Settings");
const QString group = QStringLiteral("org.freedesktop.appearance");
const QString key = QStringLiteral("color-scheme");
constexpr int callTimeoutMs = 500; // a hung portal must not hold up the first window

std::optional<QVariant> callPortal(const QString &method) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected())
    return std::nullopt;
  QDBusMessage call = QDBusMessage::createMethodCall(service, path, interface, method);
  call << group << key;
  const QDBusMessage reply = bus.call(call, QDBus::Block, callTimeoutMs);
  if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
    return std::nullopt;
  return reply.arguments().front();
}

} // namespace

AppearancePortal::AppearancePortal(QObject *parent) : AppearancePortal(callPortal, parent) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (bus.isConnected())
    bus.connect(service, path, interface, QStringLiteral("SettingChanged"), this,
                SLOT(settingChanged(QString, QString, QDBusVariant)));
}

AppearancePortal::AppearancePortal(Caller caller, QObject *parent) : QObject(parent), caller_(std::move(caller)) {}

std::optional<AppearancePortal::Preference> AppearancePortal::preference() const {
  for (const QString &method : {QStringLiteral("ReadOne"), QStringLiteral("Read")})
    if (const std::optional<QVariant> value = caller_(method))
      return decode(*value);
  return std::nullopt;
}

std::optional<AppearancePortal::Preference> AppearancePortal::decode(const QVariant &value) {
  QVariant inner = value;
  // ReadOne's value arrives in one variant, Read's in two.
  for (int depth = 0; depth < 2 && inner.metaType() == QMetaType::fromType<QDBusVariant>(); ++depth)
    inner = inner.value<QDBusVariant>().variant();
  switch (inner.typeId()) {
  case QMetaType::UInt:
  case QMetaType::Int:
  case QMetaType::UChar:
  case QMetaType::ULongLong:
  case QMetaType::LongLong:
    break;
  default: // a string or a third wrapping is no colour scheme
    return std::nullopt;
  }
  const qulonglong scheme = inner.toULongLong();
  switch (scheme) {
  case 1:
    return Preference::dark;
  case 2:
    return Preference::light;
  default:
    return Preference::none;
  }
}

void AppearancePortal::settingChanged(const QString &changedGroup, const QString &changedKey, const QDBusVariant &) {
  if (changedGroup == group && changedKey == key)
    emit preferenceChanged();
}

} // namespace tarnwick
