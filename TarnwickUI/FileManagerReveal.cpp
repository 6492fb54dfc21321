#include "TarnwickUI/FileManagerReveal.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
#include <QFile>
#include <QGuiApplication>
#include <QStringList>

#include <filesystem>
#include <system_error>

namespace tarnwick {
namespace {

// The translation context of the texts this file shows outside a QObject.
struct Texts {
  Q_DECLARE_TR_FUNCTIONS(FileManagerReveal)
};

std::function<bool(const QUrl &)> &urlOpener() {
  static std::function<bool(const QUrl &)> opener;
  return opener;
}

// `why` says why the file manager was not asked, or what it answered.
void openParentFolder(const std::string &path, const QString &why, const FileManagerReveal::FailureHandler &onFailure) {
  const QUrl folder = FileManagerReveal::parentFolderUrl(path);
  if (!FileManagerReveal::openUrl(folder) && onFailure)
    onFailure(Texts::tr("%1, and no application could open the folder %2.")
                  .arg(why, folder.toDisplayString(QUrl::PreferLocalFile)));
}

} // namespace

bool FileManagerReveal::openUrl(const QUrl &url) {
  if (const auto &opener = urlOpener())
    return opener(url);
  return QDesktopServices::openUrl(url);
}

void FileManagerReveal::reveal(const std::string &path, FailureHandler onFailure) {
  reveal(path, QDBusConnection::sessionBus(), std::move(onFailure));
}

void FileManagerReveal::reveal(const std::string &path, const QDBusConnection &bus, FailureHandler onFailure) {
  if (path.empty())
    return;
  if (!bus.isConnected()) {
    openParentFolder(path, Texts::tr("No session bus reaches a file manager"), onFailure);
    return;
  }
  QDBusMessage call = QDBusMessage::createMethodCall(
      QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
      QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
  // No startup notification id: the file manager raises its own window.
  call << QStringList{QString::fromLatin1(fileUrl(path).toEncoded())} << QString();
  // The watcher lives until the reply (or the bus's timeout) arrives; it
  // belongs to the application so that none outlives it.
  auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), QCoreApplication::instance());
  QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                   [path, onFailure = std::move(onFailure)](QDBusPendingCallWatcher *done) {
                     if (done->isError())
                       openParentFolder(path, Texts::tr("No file manager answered (%1)").arg(done->error().message()),
                                        onFailure);
                     done->deleteLater();
                   });
}

void FileManagerReveal::copyPath(const std::string &path) {
  if (path.empty())
    return;
  QGuiApplication::clipboard()->setText(QFile::decodeName(QByteArray::fromStdString(path)));
}

QUrl FileManagerReveal::fileUrl(const std::string &path) {
  // Built from the bytes rather than through QString, which would replace
  // bytes that are not UTF-8.
  return QUrl::fromEncoded("file://" + QByteArray::fromStdString(path).toPercentEncoding("/"), QUrl::StrictMode);
}

QUrl FileManagerReveal::parentFolderUrl(const std::string &path) {
  std::error_code error;
  std::string folder = std::filesystem::absolute(path, error).native();
  if (error)
    folder = path;
  while (folder.size() > 1 && folder.back() == '/')
    folder.pop_back();
  const auto slash = folder.rfind('/');
  folder = slash == std::string::npos || slash == 0 ? std::string("/") : folder.substr(0, slash);
  return fileUrl(folder);
}

void FileManagerReveal::setUrlOpenerForTesting(std::function<bool(const QUrl &)> opener) {
  urlOpener() = std::move(opener);
}

} // namespace tarnwick
