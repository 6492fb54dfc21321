#include "TarnwickApp/Windows/SystemCachesPanel.h"

#include "TarnwickUI/TreemapPalette.h"
#include "TarnwickUI/WidgetStyle.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace quillane {
namespace {

// The translation context of the texts this file shows outside a QObject.
struct Texts {
  Q_DECLARE_TR_FUNCTIONS(quillane::SystemCachesPanel)
};

using namespace tarnwick::WidgetStyle;
using tarnwick::SystemCacheItem;

enum Column { titleColumn, sizeColumn, commandColumn, columnCount };
constexpr int itemIndexRole = Qt::UserRole + 1;

bool askWithMessageBox(QWidget *parent, const QString &question) {
  return QMessageBox::question(parent, Texts::tr("Run Command"), question, QMessageBox::Cancel | QMessageBox::Yes,
                               QMessageBox::Cancel) == QMessageBox::Yes;
}

QString commandText(const SystemCacheItem &item) {
  return item.isCleanable() ? displayText(tarnwick::shellQuoted(item.cleanArgv))
                            : Texts::tr("Instead: ") + displayText(item.instead);
}

} // namespace

SystemCachesPanel::SystemCachesPanel(tarnwick::SystemCacheController::CatalogueFactory factory, QWidget *parent)
    : QWidget(parent), controller_(std::move(factory)), confirmer_(askWithMessageBox) {
  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(18, 8, 18, 0);
  auto *header = new QHBoxLayout;
  auto *titles = new QVBoxLayout;
  titles->addWidget(makeLabel(tr("System Caches"), textFont(13, QFont::Bold), primaryText(), this));
  QLabel *subtitle = makeLabel(tr("Kept by the system and its tools; cleaned only by their own commands, "
                                  "shown to you before they run."),
                               textFont(11), secondaryText(), this);
  subtitle->setWordWrap(true); // it shares its line with the button
  titles->addWidget(subtitle);
  run_ = new QPushButton(tr("Run Command…"), this);
  connect(run_, &QPushButton::clicked, this, &SystemCachesPanel::confirmAndRun);
  header->addLayout(titles, 1);
  header->addWidget(run_, 0, Qt::AlignBottom);
  layout->addLayout(header);
  list_ = new QTreeWidget(this);
  list_->setColumnCount(columnCount);
  list_->setHeaderLabels({tr("Item"), tr("Size"), tr("Cleaned By")});
  list_->setRootIsDecorated(false);
  list_->setMaximumHeight(150);
  list_->header()->setSectionResizeMode(titleColumn, QHeaderView::ResizeToContents);
  list_->header()->setSectionResizeMode(sizeColumn, QHeaderView::ResizeToContents);
  list_->header()->setStretchLastSection(true);
  layout->addWidget(list_);
  status_ = makeLabel({}, textFont(11), secondaryText(), this);
  status_->setWordWrap(true);
  layout->addWidget(status_);

  using tarnwick::SystemCacheController;
  connect(&controller_, &SystemCacheController::itemsChanged, this, &SystemCachesPanel::rebuildList);
  connect(&controller_, &SystemCacheController::busyChanged, this, &SystemCachesPanel::refreshState);
  connect(&controller_, &SystemCacheController::cleaningFinished, this, &SystemCachesPanel::showOutcome);
  connect(list_, &QTreeWidget::itemSelectionChanged, this, &SystemCachesPanel::refreshState);
  refreshState();
}

void SystemCachesPanel::rebuildList() {
  list_->clear();
  const std::vector<SystemCacheItem> &items = controller_.items();
  for (std::size_t index = 0; index < items.size(); ++index) {
    const SystemCacheItem &item = items[index];
    auto *row = new QTreeWidgetItem(list_);
    row->setText(titleColumn, displayText(item.title));
    row->setData(titleColumn, itemIndexRole, qulonglong(index));
    row->setText(sizeColumn, item.sizeBytes ? tarnwick::TreemapPalette::formatBytes(*item.sizeBytes) : QStringLiteral("—"));
    row->setTextAlignment(sizeColumn, Qt::AlignRight | Qt::AlignVCenter);
    if (!item.sizeNote.empty())
      row->setToolTip(sizeColumn, displayText(item.sizeNote));
    row->setText(commandColumn, commandText(item));
    row->setToolTip(commandColumn, commandText(item));
  }
  refreshState();
}

const SystemCacheItem *SystemCachesPanel::selectedItem() const {
  const QList<QTreeWidgetItem *> selected = list_->selectedItems();
  if (selected.isEmpty())
    return nullptr;
  const std::size_t index = std::size_t(selected.front()->data(titleColumn, itemIndexRole).toULongLong());
  return index < controller_.items().size() ? &controller_.items()[index] : nullptr;
}

void SystemCachesPanel::refreshState() {
  const SystemCacheItem *item = selectedItem();
  run_->setEnabled(!controller_.isBusy() && item != nullptr && item->isCleanable());
  if (controller_.isBusy())
    status_->setText(tr("Working…"));
  else if (controller_.hasMeasured() && controller_.items().empty())
    status_->setText(tr("No system caches found."));
  else if (!controller_.lastCleaning())
    status_->clear();
}

void SystemCachesPanel::confirmAndRun() {
  const SystemCacheItem *item = selectedItem();
  if (item == nullptr || !item->isCleanable() || controller_.isBusy())
    return;
  const QString question =
      tr("Clean “%1” by running this command%2?\n\n%3")
          .arg(displayText(item->title),
               item->needsRoot ? tr(" as the administrator") : QString(),
               displayText(tarnwick::shellQuoted(item->cleanArgv)));
  if (confirmer_ && confirmer_(this, question))
    controller_.clean(*item);
}

void SystemCachesPanel::showOutcome() {
  const auto &outcome = controller_.lastCleaning();
  if (!outcome)
    return;
  status_->setText(outcome->succeeded()
                       ? tr("Ran: %1").arg(displayText(tarnwick::shellQuoted(outcome->argv)))
                       : tr("Could not clean %1: %2").arg(displayText(outcome->id), displayText(outcome->problem)));
}

QString SystemCachesPanel::statusText() const { return status_->text(); }

} // namespace quillane
