#pragma once

#include <QLocale>
#include <QStringList>

namespace tarnwick {

/// The window's translations (quillane_<language>.qm) and Qt's own
/// (qtbase_<language>.qm, so standard dialog buttons follow), loaded into
/// the running application for one locale.
///
/// Threads: GUI thread, after the QCoreApplication exists. The translators
/// are children of the application and live until replaced or the
/// application ends.
class AppTranslations {
public:
  /// Where quillane_*.qm are looked for, first match wins: the install
  /// folder relative to the program (<datadir>/quillane/translations as
  /// reached from quillane-gui's install folder), the configured install
  /// folder, then the build tree's.
  static QStringList folders();

  /// Replaces the translators an earlier call installed with those for
  /// `locale`. A locale without a translation of its own gets the English
  /// plural forms, so "%n file(s)" still reads "1 file". Returns whether
  /// the locale's own translation was found.
  static bool install(const QLocale &locale);
};

} // namespace tarnwick
