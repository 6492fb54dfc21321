#pragma once

#include <QObject>

namespace tarnwick {

/// Return and Enter press the focused push or tool button anywhere in the
/// application, as they do on the desktop's other toolkits. Qt presses only
/// a dialog's buttons on Return (an auto-default button), so the buttons of
/// the main window's pages and panels answered Space alone. Check boxes and
/// toggles (whose key is Space) are left to Qt.
///
/// Install one on the application (QCoreApplication::installEventFilter);
/// it owns nothing. Threads: GUI thread only.
class ReturnKeyPressesButton final : public QObject {
public:
  using QObject::QObject;

protected:
  bool eventFilter(QObject *watched, QEvent *event) override;
};

} // namespace tarnwick
