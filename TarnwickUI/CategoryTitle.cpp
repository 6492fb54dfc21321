#include "TarnwickUI/CategoryTitle.h"

#include <QCoreApplication>

namespace tarnwick {

namespace {

// The translation context of the texts this file shows outside a QObject.
struct Texts {
  Q_DECLARE_TR_FUNCTIONS(CleanableCategory)
};

// The titles rawValue() gives, listed so lupdate collects them; the order
// does not matter, the English title is the key.
[[maybe_unused]] const char *const titles[] = {
    QT_TRANSLATE_NOOP("CleanableCategory", "System Junk & Logs"),
    QT_TRANSLATE_NOOP("CleanableCategory", "Application Caches"),
    QT_TRANSLATE_NOOP("CleanableCategory", "Xcode & iOS Simulators"),
    QT_TRANSLATE_NOOP("CleanableCategory", "Homebrew, CocoaPods & Package Caches"),
    QT_TRANSLATE_NOOP("CleanableCategory", "Docker, OrbStack & Container Layers"),
    QT_TRANSLATE_NOOP("CleanableCategory", "Creator Media & Scratch Disks (Adobe / FCP / DaVinci)"),
    QT_TRANSLATE_NOOP("CleanableCategory", "Browser & Electron ServiceWorker Caches"),
    QT_TRANSLATE_NOOP("CleanableCategory", "Local AI Models & Caches (Ollama / LM Studio)"),
    QT_TRANSLATE_NOOP("CleanableCategory", "Large & Stale Downloads"),
    QT_TRANSLATE_NOOP("CleanableCategory", "Trash Bins"),
};

} // namespace

QString categoryTitle(CleanableCategory category) {
  const std::string title(rawValue(category)); // translate() wants it NUL-terminated
  return Texts::tr(title.c_str());
}

} // namespace tarnwick
