#include "TarnwickUI/ReturnKeyPressesButton.h"

#include <QKeyEvent>
#include <QAbstractButton>

namespace tarnwick {
namespace {

bool isPlainReturn(const QKeyEvent &key) {
  const bool isReturn = key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter;
  // The keypad's Enter carries the keypad modifier and nothing else.
  return isReturn && (key.modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier && !key.isAutoRepeat();
}

} // namespace

bool ReturnKeyPressesButton::eventFilter(QObject *watched, QEvent *event) {
  if (event->type() != QEvent::KeyPress || !isPlainReturn(*static_cast<QKeyEvent *>(event)))
    return QObject::eventFilter(watched, event);
  // A key press goes to the focused widget: only a button's is taken here.
  auto *button = qobject_cast<QAbstractButton *>(watched);
  if (!button || button->isCheckable() || !button->isEnabled())
    return QObject::eventFilter(watched, event);
  // Taken here, a dialog's button is not pressed a second time by Qt.
  button->click();
  return true;
}

} // namespace tarnwick
