#include "TarnwickUI/ContextMenuKey.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QWidget>

namespace tarnwick {

bool ContextMenuKey::eventFilter(QObject *watched, QEvent *event) {
  if (event->type() != QEvent::KeyPress)
    return QObject::eventFilter(watched, event);
  const auto *key = static_cast<QKeyEvent *>(event);
  // A key press goes to the focused widget first, and here it stops.
  auto *target = qobject_cast<QWidget *>(watched);
  if (key->key() != Qt::Key_F10 || key->modifiers() != Qt::ShiftModifier || !target)
    return QObject::eventFilter(watched, event);
  // Where the Menu key would put it: the widget decides from its own
  // keyboard position, and the point is only a fallback.
  const QPoint at = target->rect().center();
  QContextMenuEvent menu(QContextMenuEvent::Keyboard, at, target->mapToGlobal(at));
  QApplication::sendEvent(target, &menu);
  return true;
}

} // namespace tarnwick
