#pragma once

#include "TarnwickCore/Deletion/TrashCatalogue.h"
#include "TarnwickUI/TrashController.h"

#include <QWidget>

#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;
class QStackedWidget;
class QTreeView;

namespace quillane {

class TrashItemsModel;

/// The Trash view: what the user's trash folders hold (where each item came
/// from, when it was deleted, its size) and their total; "Restore" puts the
/// selected items back, "Empty Trash…" removes everything for good after
/// one confirmation, with progress, and the status line says what happened.
///
/// Threads: GUI thread only.
class TrashWindow : public QWidget {
  Q_OBJECT

public:
  /// Asked once before the Trash is emptied; true to go ahead.
  using Confirmer = std::function<bool(QWidget *parent, const QString &question)>;

  explicit TrashWindow(tarnwick::TrashCatalogue catalogue, QWidget *parent = nullptr);

  /// Lists the Trash again and shows the window in front.
  void open();
  void setConfirmer(Confirmer confirmer) { confirmer_ = std::move(confirmer); }

  tarnwick::TrashController &controller() { return controller_; }
  QTreeView *table() const { return table_; }
  QPushButton *restoreButton() const { return restore_; }
  QPushButton *emptyButton() const { return empty_; }
  QProgressBar *progressBar() const { return progress_; }
  QString totalText() const;
  QString statusText() const;

private:
  QWidget *makeHeader();
  QWidget *makeFooter();
  void reloadItems();
  void refreshState();
  void restoreSelected();
  void confirmAndEmpty();

  tarnwick::TrashController controller_;
  Confirmer confirmer_;
  TrashItemsModel *model_ = nullptr;
  QStackedWidget *pages_ = nullptr;
  QTreeView *table_ = nullptr;
  QLabel *emptyNote_ = nullptr;
  QLabel *problems_ = nullptr;
  QLabel *status_ = nullptr;
  QProgressBar *progress_ = nullptr;
  QLabel *total_ = nullptr;
  QPushButton *refresh_ = nullptr;
  QPushButton *restore_ = nullptr;
  QPushButton *empty_ = nullptr;
};

} // namespace quillane
