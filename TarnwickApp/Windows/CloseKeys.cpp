#include "TarnwickApp/Windows/CloseKeys.h"

#include <QKeySequence>
#include <QShortcut>
#include <QWidget>

namespace quillane {

void closeOnEscapeOrCloseKey(QWidget *window) {
  for (const QKeySequence &keys : {QKeySequence(Qt::Key_Escape), QKeySequence(QKeySequence::Close)})
    QObject::connect(new QShortcut(keys, window), &QShortcut::activated, window, &QWidget::close);
}

} // namespace quillane
