#pragma once

#include "TarnwickCore/Catalogue/CleanableCategory.h"
#include "TarnwickCore/Deletion/SafeCleaningEngine.h"
#include "TarnwickUI/CacheCleanupController.h"
#include "TarnwickUI/SystemCacheController.h"

#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QStackedWidget;
class QTreeWidget;
class QTreeWidgetItem;

namespace quillane {

class SystemCachesPanel;

/// The review-and-clean window for known caches: measures the catalogue
/// (with a busy indicator and "Cancel"), lists what it found grouped by
/// category with a tick box per item, and moves the ticked ones to the
/// Trash after one confirmation, with progress and then the report.
///
/// Threads: GUI thread only.
class CacheCleanupWindow : public QWidget {
  Q_OBJECT

public:
  /// Asked once before anything is moved; true to go ahead.
  using Confirmer = std::function<bool(QWidget *parent, const QString &question)>;

  CacheCleanupWindow(std::string homeDirectory, std::shared_ptr<tarnwick::SafeCleaningEngine> engine,
                     QWidget *parent = nullptr);

  /// Shows only one category (or all), and measures again if nothing was
  /// measured yet.
  void open(std::optional<tarnwick::CleanableCategory> category);
  void setConfirmer(Confirmer confirmer) { confirmer_ = std::move(confirmer); }

  tarnwick::CacheCleanupController &controller() { return controller_; }
  /// Lists the system-owned caches below the others, from `factory`'s
  /// catalogues, measured on opening and on Rescan.
  SystemCachesPanel *showSystemCaches(tarnwick::SystemCacheController::CatalogueFactory factory);
  SystemCachesPanel *systemCaches() const { return systemCaches_; }
  QTreeWidget *list() const { return list_; }
  QPushButton *trashButton() const { return trash_; }
  QPushButton *cancelButton() const { return cancel_; }
  QString totalText() const;
  QString reportText() const;
  bool isShowingBusy() const;

private:
  void fitColumns();
  QWidget *makeHeader();
  QWidget *makeBusyPage();
  QWidget *makeFooter();
  void rebuildList();
  void refreshTotal();
  void refreshPage();
  void showReport();
  void confirmAndClean();

  tarnwick::CacheCleanupController controller_;
  Confirmer confirmer_;
  QLabel *filterLabel_ = nullptr;
  QPushButton *showAll_ = nullptr;
  QWidget *reportPanel_ = nullptr;
  QLabel *reportSummary_ = nullptr;
  QPlainTextEdit *reportDetails_ = nullptr;
  QStackedWidget *pages_ = nullptr;
  QLabel *busyText_ = nullptr;
  QProgressBar *progress_ = nullptr;
  QPushButton *cancel_ = nullptr;
  QTreeWidget *list_ = nullptr;
  QLabel *empty_ = nullptr;
  QLabel *total_ = nullptr;
  QPushButton *rescan_ = nullptr;
  QPushButton *trash_ = nullptr;
  SystemCachesPanel *systemCaches_ = nullptr;
  bool measuredOnce_ = false;
};

} // namespace quillane
