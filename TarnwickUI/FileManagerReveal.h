#pragma once

#include <QString>
#include <QUrl>

#include <functional>
#include <string>

class QDBusConnection;

namespace tarnwick {

/// Shows an item in the user's file manager and copies paths to the
/// clipboard. Paths are the scanner's: raw bytes, not necessarily UTF-8.
///
/// Threads: GUI thread only (clipboard, desktop services, D-Bus replies
/// delivered through the event loop).
class FileManagerReveal {
public:
  /// Called on the GUI thread with what failed, in words for the user, when
  /// neither the file manager nor the fallback could show anything.
  using FailureHandler = std::function<void(const QString &reason)>;

  /// Asks the file manager (org.freedesktop.FileManager1.ShowItems on the
  /// session bus) to show `path` selected in its folder, and returns at
  /// once. Without a bus, or when the call fails, opens the parent folder
  /// instead; when that fails too, `onFailure` hears why (possibly later,
  /// from the event loop). An empty path does nothing.
  static void reveal(const std::string &path, FailureHandler onFailure = {});
  /// The same through `bus`: the seam for a private bus or a peer.
  static void reveal(const std::string &path, const QDBusConnection &bus, FailureHandler onFailure = {});

  /// Opens `url` with the desktop's handler for it (or the opener set for
  /// testing); false when nothing could open it.
  static bool openUrl(const QUrl &url);

  /// Puts `path` on the clipboard as plain text. Bytes that are not valid
  /// UTF-8 cannot travel as text; each becomes U+FFFD, the rest is exact.
  /// An empty path does nothing.
  static void copyPath(const std::string &path);

  /// The file:// URL of `path` with every byte kept: anything that is not
  /// unreserved ASCII or '/' is percent-encoded byte by byte.
  static QUrl fileUrl(const std::string &path);
  /// The URL of the folder holding `path` ("/" for "/" itself); relative
  /// paths are taken from the current folder. Trailing slashes are ignored.
  static QUrl parentFolderUrl(const std::string &path);

  /// Replaces how openUrl and the fallback open a URL
  /// (QDesktopServices::openUrl by default); an empty function restores the
  /// default.
  static void setUrlOpenerForTesting(std::function<bool(const QUrl &)> opener);
};

} // namespace tarnwick
