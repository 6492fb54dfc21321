#pragma once

#include "TarnwickUI/SystemCacheController.h"

#include <QWidget>

#include <functional>

class QLabel;
class QPushButton;
class QTreeWidget;

namespace quillane {

/// The system-owned caches under the cache window's list: each with its
/// size and the owner's command that cleans it (or what to run instead),
/// and "Run Command…", which shows the exact command and runs it only once
/// the user agrees.
///
/// Threads: GUI thread only.
class SystemCachesPanel : public QWidget {
  Q_OBJECT

public:
  /// Asked before a command runs, with the command in the question; true
  /// to run it.
  using Confirmer = std::function<bool(QWidget *parent, const QString &question)>;

  SystemCachesPanel(tarnwick::SystemCacheController::CatalogueFactory factory, QWidget *parent = nullptr);

  void setConfirmer(Confirmer confirmer) { confirmer_ = std::move(confirmer); }
  tarnwick::SystemCacheController &controller() { return controller_; }
  QTreeWidget *list() const { return list_; }
  QPushButton *runButton() const { return run_; }
  QString statusText() const;

  /// Asks before running the selected item's command.
  void confirmAndRun();

private:
  void rebuildList();
  void refreshState();
  void showOutcome();
  const tarnwick::SystemCacheItem *selectedItem() const;

  tarnwick::SystemCacheController controller_;
  Confirmer confirmer_;
  QTreeWidget *list_ = nullptr;
  QLabel *status_ = nullptr;
  QPushButton *run_ = nullptr;
};

} // namespace quillane
