#include "TarnwickUI/SplitterMemory.h"

#include <QSettings>
#include <QSplitter>

namespace tarnwick::SplitterMemory {

void remember(QSplitter *splitter, const QString &key) {
  const QByteArray saved = QSettings().value(key).toByteArray();
  if (!saved.isEmpty()) {
    const QList<int> designed = splitter->sizes();
    // restoreState refuses what it cannot read, and a state of another
    // layout (another pane count) is no better.
    if (!splitter->restoreState(saved) || splitter->sizes().size() != designed.size())
      splitter->setSizes(designed);
  }
  QObject::connect(splitter, &QSplitter::splitterMoved, splitter,
                   [splitter, key] { QSettings().setValue(key, splitter->saveState()); });
}

} // namespace tarnwick::SplitterMemory
