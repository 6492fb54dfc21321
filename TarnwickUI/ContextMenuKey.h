#pragma once

#include <QObject>

namespace tarnwick {

/// Shift+F10, the desktop's other context-menu key, opens the focused
/// widget's context menu as the Menu key does (a keyboard QContextMenuEvent),
/// for keyboards without a Menu key. Qt itself only knows the Menu key.
///
/// Install one on the application (QCoreApplication::installEventFilter);
/// it owns nothing. Threads: GUI thread only.
class ContextMenuKey final : public QObject {
public:
  using QObject::QObject;

protected:
  bool eventFilter(QObject *watched, QEvent *event) override;
};

} // namespace tarnwick
