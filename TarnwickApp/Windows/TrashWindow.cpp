#include "TarnwickApp/Windows/TrashWindow.h"

#include "TarnwickApp/Windows/CloseKeys.h"
#include "TarnwickApp/Windows/TrashItemsModel.h"
#include "TarnwickUI/SymbolIcons.h"
#include "TarnwickUI/TreemapPalette.h"
#include "TarnwickUI/WidgetStyle.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>

namespace quillane {
namespace {

// The translation context of the texts this file shows outside a QObject.
struct Texts {
  Q_DECLARE_TR_FUNCTIONS(quillane::TrashWindow)
};

using namespace tarnwick::WidgetStyle;
using tarnwick::TrashController;
using tarnwick::TreemapPalette;

enum Page { listPage, emptyPage };

bool askWithMessageBox(QWidget *parent, const QString &question) {
  return QMessageBox::warning(parent, Texts::tr("Empty Trash"), question, QMessageBox::Cancel | QMessageBox::Yes,
                              QMessageBox::Cancel) == QMessageBox::Yes;
}

QString itemCount(std::size_t count) { return TreemapPalette::formatItemCount(std::int64_t(count), true); }

} // namespace

TrashWindow::TrashWindow(tarnwick::TrashCatalogue catalogue, QWidget *parent)
    : QWidget(parent, Qt::Window), controller_(std::move(catalogue)), confirmer_(askWithMessageBox) {
  setWindowTitle(tr("Trash"));
  closeOnEscapeOrCloseKey(this);
  resize(900, 560);
  setMinimumSize(640, 400);
  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(makeHeader());

  pages_ = new QStackedWidget(this);
  model_ = new TrashItemsModel(this);
  table_ = new QTreeView(pages_);
  table_->setModel(model_);
  table_->setRootIsDecorated(false);
  // Not uniform: a name holding a line break takes the lines it needs.
  table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setTextElideMode(Qt::ElideMiddle);
  table_->header()->setStretchLastSection(false);
  table_->header()->setSectionResizeMode(TrashItemsModel::originalPathColumn, QHeaderView::Stretch);
  table_->header()->setSectionResizeMode(TrashItemsModel::deletedColumn, QHeaderView::ResizeToContents);
  table_->header()->setSectionResizeMode(TrashItemsModel::sizeColumn, QHeaderView::ResizeToContents);
  pages_->addWidget(table_);
  emptyNote_ = makeLabel({}, textFont(13, QFont::Medium), secondaryText(), pages_);
  emptyNote_->setAlignment(Qt::AlignCenter);
  pages_->addWidget(emptyNote_);
  layout->addWidget(pages_, 1);
  layout->addWidget(makeFooter());

  connect(&controller_, &TrashController::itemsChanged, this, &TrashWindow::reloadItems);
  connect(&controller_, &TrashController::busyChanged, this, &TrashWindow::refreshState);
  connect(&controller_, &TrashController::progressChanged, this, &TrashWindow::refreshState);
  connect(&controller_, &TrashController::messageChanged, this, &TrashWindow::refreshState);
  connect(table_->selectionModel(), &QItemSelectionModel::selectionChanged, this, &TrashWindow::refreshState);
  reloadItems();
}

QWidget *TrashWindow::makeHeader() {
  auto *header = new QWidget(this);
  auto *layout = new QHBoxLayout(header);
  layout->setContentsMargins(18, 16, 18, 12);
  layout->setSpacing(12);
  auto *icon = new QLabel(header);
  icon->setPixmap(tarnwick::SymbolIcons::tinted("trash", 28, accent(), devicePixelRatioF()));
  auto *titles = new QVBoxLayout;
  titles->setSpacing(2);
  titles->addWidget(makeLabel(tr("Trash"), textFont(18, QFont::Bold), primaryText(), header));
  QLabel *subtitle = makeLabel(tr("Everything in your Trash, on this disk and on mounted drives. Restore puts "
                                  "an item back where it came from; emptying removes it for good."),
                               textFont(11), secondaryText(), header);
  subtitle->setWordWrap(true); // longer than the window is wide in some languages
  titles->addWidget(subtitle);
  problems_ = makeLabel({}, textFont(11), secondaryText(), header);
  problems_->setWordWrap(true);
  problems_->hide();
  titles->addWidget(problems_);
  layout->addWidget(icon, 0, Qt::AlignTop);
  layout->addLayout(titles, 1);
  return header;
}

QWidget *TrashWindow::makeFooter() {
  auto *footer = new QWidget(this);
  auto *outer = new QVBoxLayout(footer);
  outer->setContentsMargins(18, 8, 18, 14);
  status_ = makeLabel({}, textFont(12, QFont::DemiBold), primaryText(), footer);
  status_->setWordWrap(true);
  status_->setTextFormat(Qt::PlainText);
  progress_ = new QProgressBar(footer);
  progress_->setTextVisible(false);
  progress_->hide();
  auto *row = new QHBoxLayout;
  total_ = makeLabel({}, textFont(12, QFont::DemiBold), primaryText(), footer);
  refresh_ = new QPushButton(tarnwick::SymbolIcons::icon("arrow.clockwise"), tr("Refresh"), footer);
  restore_ = new QPushButton(tr("Restore"), footer);
  empty_ = new QPushButton(tr("Empty Trash…"), footer);
  empty_->setIcon(QIcon(tarnwick::SymbolIcons::tinted("trash", 14, Qt::white, devicePixelRatioF())));
  empty_->setStyleSheet(QStringLiteral("QPushButton { background: %1; color: white; border-radius: 6px; padding: 5px 14px; }"
                                       "QPushButton:focus { border: 2px solid %3; padding: 3px 12px; }"
                                       "QPushButton:disabled { background: %2; color: rgba(255,255,255,110); }")
                            .arg(destructiveRed().name(), controlBackground().name(), primaryText().name()));
  connect(refresh_, &QPushButton::clicked, &controller_, &TrashController::refresh);
  connect(restore_, &QPushButton::clicked, this, &TrashWindow::restoreSelected);
  connect(empty_, &QPushButton::clicked, this, &TrashWindow::confirmAndEmpty);
  row->addWidget(total_);
  row->addStretch();
  row->addWidget(refresh_);
  row->addWidget(restore_);
  row->addWidget(empty_);
  outer->addWidget(status_);
  outer->addWidget(progress_);
  outer->addLayout(row);
  return footer;
}

void TrashWindow::open() {
  controller_.refresh();
  show();
  raise();
  activateWindow();
}

void TrashWindow::reloadItems() {
  model_->setItems(controller_.items());
  QStringList problems;
  for (const std::string &problem : controller_.problems())
    problems << displayText(problem);
  problems_->setText(problems.join(QLatin1Char('\n')));
  problems_->setVisible(!problems.isEmpty());
  total_->setText(QStringLiteral("%1 · %2").arg(itemCount(controller_.items().size()),
                                               TreemapPalette::formatBytes(controller_.totalBytes())));
  refreshState();
}

void TrashWindow::refreshState() {
  const bool busy = controller_.isBusy();
  const bool hasItems = !controller_.items().empty();
  emptyNote_->setText(controller_.hasListed() ? tr("The Trash is empty.") : tr("Reading the Trash…"));
  pages_->setCurrentIndex(hasItems ? listPage : emptyPage);
  const auto &progress = controller_.emptyProgress();
  if (controller_.isEmptying()) {
    progress_->setRange(0, progress ? int(progress->totalCount) : 0);
    progress_->setValue(progress ? int(progress->doneCount) : 0);
    status_->setText(progress ? tr("Emptying the Trash: %1 of %2 removed, %3 freed…")
                                    .arg(progress->doneCount)
                                    .arg(progress->totalCount)
                                    .arg(TreemapPalette::formatBytes(progress->freedBytes))
                              : tr("Emptying the Trash…"));
  } else if (controller_.isRestoring()) {
    status_->setText(tr("Restoring…"));
  } else {
    status_->setText(controller_.lastMessage());
  }
  QPalette palette = status_->palette();
  palette.setColor(QPalette::WindowText, controller_.lastSucceeded() || busy ? primaryText() : destructiveRed());
  status_->setPalette(palette);
  progress_->setVisible(controller_.isEmptying());
  const bool selected = table_->selectionModel()->hasSelection();
  restore_->setEnabled(selected && !busy);
  empty_->setEnabled(hasItems && !busy);
  refresh_->setEnabled(!controller_.isRestoring() && !controller_.isEmptying());
}

void TrashWindow::restoreSelected() {
  std::vector<std::size_t> rows;
  for (const QModelIndex &index : table_->selectionModel()->selectedRows())
    rows.push_back(std::size_t(index.row()));
  std::sort(rows.begin(), rows.end());
  controller_.restore(rows);
}

void TrashWindow::confirmAndEmpty() {
  const std::size_t count = controller_.items().size();
  if (count == 0 || controller_.isBusy())
    return;
  const QString question =
      tr("Permanently remove %1 (%2) from the Trash? This cannot be undone.")
          .arg(itemCount(count), TreemapPalette::formatBytes(controller_.totalBytes()));
  if (confirmer_ && confirmer_(this, question))
    controller_.empty();
}

QString TrashWindow::totalText() const { return total_->text(); }
QString TrashWindow::statusText() const { return status_->text(); }

} // namespace quillane
