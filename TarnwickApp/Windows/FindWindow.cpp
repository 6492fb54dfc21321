#include "TarnwickApp/Windows/FindWindow.h"

#include "TarnwickApp/Windows/CloseKeys.h"

#include "TarnwickUI/FolderSummaryPanel.h"
#include "TarnwickUI/NameSearchPanel.h"

#include <QLineEdit>
#include <QTabWidget>
#include <QVBoxLayout>

namespace quillane {

FindWindow::FindWindow(QWidget *parent)
    : QWidget(parent, Qt::Window), tabs_(new QTabWidget(this)), search_(new tarnwick::NameSearchPanel(this)),
      summary_(new tarnwick::FolderSummaryPanel(this)) {
  setWindowTitle(tr("Find"));
  resize(760, 560);
  tabs_->addTab(search_, tr("Find"));
  tabs_->addTab(summary_, tr("Largest Files and Types"));
  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(8, 8, 8, 8);
  layout->addWidget(tabs_);
  closeOnEscapeOrCloseKey(this);
  connect(search_, &tarnwick::NameSearchPanel::nodeChosen, this, &FindWindow::nodeChosen);
  connect(summary_, &tarnwick::FolderSummaryPanel::nodeChosen, this, &FindWindow::nodeChosen);
  connect(summary_, &tarnwick::FolderSummaryPanel::fileTypeChosen, this, &FindWindow::fileTypeChosen);
}

void FindWindow::setFolder(std::shared_ptr<const tarnwick::DiskTreeArena> arena, tarnwick::NodeID folder) {
  if (arena == arena_ && folder == folder_)
    return;
  // Searches cover the whole tree: only a new tree starts one again.
  if (arena != arena_)
    search_->setArena(arena);
  arena_ = std::move(arena);
  folder_ = folder;
  summaryStale_ = true;
  if (isVisible())
    refreshSummary();
}

void FindWindow::refreshSummary() {
  if (!summaryStale_)
    return;
  summaryStale_ = false;
  summary_->setFolder(arena_, folder_);
}

void FindWindow::openSearch() {
  open(search_);
  search_->field()->setFocus();
  search_->field()->selectAll();
}

void FindWindow::hideEvent(QHideEvent *event) {
  QWidget::hideEvent(event);
  emit hidden();
}

void FindWindow::openSummary() { open(summary_); }

void FindWindow::open(QWidget *tab) {
  tabs_->setCurrentWidget(tab);
  refreshSummary();
  show();
  raise();
  activateWindow();
}

} // namespace quillane
