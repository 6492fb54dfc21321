#pragma once

#include <QString>

class QSplitter;

namespace tarnwick {

/// Splitter positions kept in the settings under a key of each splitter's.
///
/// Threads: GUI thread only.
namespace SplitterMemory {

/// Gives `splitter` the state last saved under `key` (a missing or corrupt
/// one leaves the sizes it has) and saves it whenever the user moves it.
void remember(QSplitter *splitter, const QString &key);

} // namespace SplitterMemory
} // namespace tarnwick
