#include "TarnwickUI/AppTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include <functional>
#include <memory>

namespace tarnwick {

namespace {

// Marks the translators this class installed, so a later call removes
// them and no others.
const char *const translatorName = "quillane-translator";

void removeInstalled() {
  const auto installed = qApp->findChildren<QTranslator *>(QString::fromLatin1(translatorName), Qt::FindDirectChildrenOnly);
  for (QTranslator *translator : installed) {
    QCoreApplication::removeTranslator(translator);
    delete translator;
  }
}

bool loadAndInstall(const std::function<bool(QTranslator &)> &load) {
  auto translator = std::make_unique<QTranslator>(qApp);
  translator->setObjectName(QString::fromLatin1(translatorName));
  if (!load(*translator) || !QCoreApplication::installTranslator(translator.get()))
    return false;
  translator.release(); // owned by the application from here on
  return true;
}

bool loadFromFolders(const QLocale &locale) {
  for (const QString &folder : AppTranslations::folders()) {
    if (loadAndInstall([&](QTranslator &t) { return t.load(locale, QStringLiteral("quillane"), QStringLiteral("_"), folder); }))
      return true;
  }
  return false;
}

} // namespace

QStringList AppTranslations::folders() {
  return {QCoreApplication::applicationDirPath() + QStringLiteral("/" QUILLANE_DATA_FROM_PROGRAM "/quillane/translations"),
          QStringLiteral(QUILLANE_INSTALLED_TRANSLATIONS), QStringLiteral(QUILLANE_BUILD_TRANSLATIONS)};
}

bool AppTranslations::install(const QLocale &locale) {
  removeInstalled();
  const QString qtFolder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
  loadAndInstall([&](QTranslator &t) { return t.load(locale, QStringLiteral("qtbase"), QStringLiteral("_"), qtFolder); });
  if (loadFromFolders(locale))
    return true;
  loadFromFolders(QLocale(QLocale::English));
  return false;
}

} // namespace tarnwick
