#include "TarnwickApp/Windows/CacheCleanupWindow.h"

#include "TarnwickApp/Windows/CleaningReportMessage.h"
#include "TarnwickApp/Windows/CloseKeys.h"
#include "TarnwickApp/Windows/SystemCachesPanel.h"
#include "TarnwickUI/BusySpinner.h"
#include "TarnwickUI/CategoryTitle.h"
#include "TarnwickUI/NameColumnFit.h"
#include "TarnwickUI/SymbolIcons.h"
#include "TarnwickUI/TreemapPalette.h"
#include "TarnwickUI/WidgetStyle.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QProxyStyle>
#include <QPushButton>
#include <QStackedWidget>
#include <QStyleOptionViewItem>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <map>

namespace quillane {
namespace {

// The translation context of the texts this file shows outside a QObject.
struct Texts {
  Q_DECLARE_TR_FUNCTIONS(quillane::CacheCleanupWindow)
};

using namespace tarnwick::WidgetStyle;
using tarnwick::CleanableCategory;
using tarnwick::CleanableItem;
using tarnwick::TreemapPalette;

enum Column { nameColumn, descriptionColumn, sizeColumn, modifiedColumn, pathColumn, columnCount };
enum Page { busyPage, listPage, emptyPage };
constexpr int itemIndexRole = Qt::UserRole + 1;

// The window's action, named alike on its button and in its confirmation.
QString trashActionText() { return Texts::tr("Move to Trash"); }

// The confirming button says what it does; Cancel answers Return and Escape,
// so cleaning is always a deliberate choice.
bool askWithMessageBox(QWidget *parent, const QString &question) {
  QMessageBox box(QMessageBox::Question, trashActionText(), question, QMessageBox::Cancel, parent);
  const QAbstractButton *confirm = box.addButton(trashActionText(), QMessageBox::AcceptRole);
  box.setDefaultButton(QMessageBox::Cancel);
  box.setEscapeButton(QMessageBox::Cancel);
  box.exec();
  return box.clickedButton() == confirm;
}

/// Fusion outlines a tick box in a shade of the window colour, which in the
/// dark theme is as dark as the list behind it: an empty box would not show.
/// The list's boxes are drawn as if on a light grey window, which gives them
/// a grey outline; everything else keeps the application's style.
class TickBoxStyle : public QProxyStyle {
public:
  void drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                     const QWidget *widget) const override {
    const auto *item = qstyleoption_cast<const QStyleOptionViewItem *>(option);
    if (element != PE_IndicatorItemViewItemCheck || !item) {
      QProxyStyle::drawPrimitive(element, option, painter, widget);
      return;
    }
    QStyleOptionViewItem box(*item);
    box.palette.setColor(QPalette::Window, box.palette.color(QPalette::WindowText).darker(130));
    QProxyStyle::drawPrimitive(element, &box, painter, widget);
  }
};

/// Everything a report holds, one line per path; an item that frees
/// nothing says why.
/// `emptied`: the paths of Trash items, which were emptied, not moved.
QString reportDetails(const tarnwick::SafeCleaningReport &report, const std::vector<std::string> &emptied) {
  QStringList lines;
  const bool removed = report.reclaimed && report.reclaimed->mode == tarnwick::DeletionMode::permanentDelete;
  for (const std::string &path : report.cleanedPaths) {
    const bool isTrash = std::ranges::find(emptied, path) != emptied.end();
    QString line = (isTrash   ? Texts::tr("Emptied: ")
                    : removed ? Texts::tr("Removed: ")
                              : Texts::tr("Moved to the Trash: ")) +
                   displayText(path);
    if (report.reclaimed)
      if (auto linked = report.reclaimed->linkedElsewhere.find(path); linked != report.reclaimed->linkedElsewhere.end())
        line += Texts::tr(" (frees no space: %Ln other link(s) to it remain(s))",
                                            nullptr, int(linked->second));
    lines << line;
  }
  for (const auto &[path, reason] : report.errors)
    lines << Texts::tr("Not moved: %1 — %2").arg(displayText(path), displayText(reason));
  return lines.join(QLatin1Char('\n'));
}

} // namespace

CacheCleanupWindow::CacheCleanupWindow(std::string homeDirectory, std::shared_ptr<tarnwick::SafeCleaningEngine> engine,
                                       QWidget *parent)
    : QWidget(parent, Qt::Window), controller_(std::move(homeDirectory), std::move(engine)), confirmer_(askWithMessageBox) {
  setWindowTitle(tr("Clean Up Caches"));
  closeOnEscapeOrCloseKey(this);
  resize(920, 620);
  setMinimumSize(720, 460);
  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(makeHeader());

  reportPanel_ = new QWidget(this);
  auto *reportLayout = new QVBoxLayout(reportPanel_);
  reportLayout->setContentsMargins(18, 8, 18, 8);
  reportSummary_ = makeLabel({}, textFont(12, QFont::DemiBold), primaryText(), reportPanel_);
  reportSummary_->setWordWrap(true);
  reportDetails_ = new QPlainTextEdit(reportPanel_);
  reportDetails_->setReadOnly(true);
  reportDetails_->setMaximumHeight(110);
  reportLayout->addWidget(reportSummary_);
  reportLayout->addWidget(reportDetails_);
  reportPanel_->hide();
  layout->addWidget(reportPanel_);

  pages_ = new QStackedWidget(this);
  pages_->addWidget(makeBusyPage());
  list_ = new QTreeWidget(pages_);
  list_->setColumnCount(columnCount);
  list_->setHeaderLabels({tr("Name"), tr("Description"), tr("Size"),
                          tr("Modified"), tr("Path")});
  list_->setRootIsDecorated(true);
  list_->setUniformRowHeights(true);
  list_->setAlternatingRowColors(false);
  auto *tickBoxes = new TickBoxStyle;
  tickBoxes->setParent(list_); // a widget does not own its style
  list_->setStyle(tickBoxes);
  fitColumns();
  pages_->addWidget(list_);
  empty_ = makeLabel(tr("No known caches found."), textFont(13, QFont::Medium), secondaryText(), pages_);
  empty_->setAlignment(Qt::AlignCenter);
  pages_->addWidget(empty_);
  layout->addWidget(pages_, 1);
  layout->addWidget(makeFooter());

  using tarnwick::CacheCleanupController;
  connect(&controller_, &CacheCleanupController::itemsChanged, this, &CacheCleanupWindow::rebuildList);
  connect(&controller_, &CacheCleanupController::tickedChanged, this, &CacheCleanupWindow::refreshTotal);
  connect(&controller_, &CacheCleanupController::scanningChanged, this, &CacheCleanupWindow::refreshPage);
  connect(&controller_, &CacheCleanupController::cleaningChanged, this, &CacheCleanupWindow::refreshPage);
  connect(&controller_, &CacheCleanupController::cleanProgressChanged, this, &CacheCleanupWindow::refreshPage);
  connect(&controller_, &CacheCleanupController::reportChanged, this, &CacheCleanupWindow::showReport);
  connect(list_, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem *row, int column) {
    const QVariant index = row->data(nameColumn, itemIndexRole);
    if (column == nameColumn && index.isValid())
      controller_.setTicked(std::size_t(index.toULongLong()), row->checkState(nameColumn) == Qt::Checked);
  });
  refreshPage();
  refreshTotal();
}

void CacheCleanupWindow::fitColumns() {
  // Every column within the list's width: the name takes what the others
  // leave, sizes and dates keep room for their widest, and a description or
  // path too long for its share is elided in the middle, whole in its
  // tooltip. In a narrow window the path gives way first.
  list_->setTextElideMode(Qt::ElideMiddle);
  const QFontMetrics metrics = list_->fontMetrics();
  const auto room = [&](Column column, const QString &sample) {
    const QString title = list_->headerItem()->text(column);
    return std::max(metrics.horizontalAdvance(sample), list_->header()->fontMetrics().horizontalAdvance(title)) + 18;
  };
  const int size = room(sizeColumn, QStringLiteral("999.99 GB"));
  const int modified = room(modifiedColumn, QLocale().toString(QDate(2000, 12, 28), QLocale::ShortFormat));
  new tarnwick::NameColumnFit(list_, nameColumn,
                              {{sizeColumn, size, size},
                               {descriptionColumn, 0, 120, 0.35},
                               {modifiedColumn, modified, modified},
                               {pathColumn, 0, 100, 0.2}});
}

QWidget *CacheCleanupWindow::makeHeader() {
  auto *header = new QWidget(this);
  auto *layout = new QHBoxLayout(header);
  layout->setContentsMargins(18, 16, 18, 12);
  layout->setSpacing(12);
  auto *icon = new QLabel(header);
  icon->setPixmap(tarnwick::SymbolIcons::tinted("sparkles", 28, accent(), devicePixelRatioF()));
  auto *titles = new QVBoxLayout;
  titles->setSpacing(2);
  titles->addWidget(makeLabel(tr("Clean Up Caches"), textFont(18, QFont::Bold), primaryText(), header));
  QLabel *subtitle = makeLabel(tr("Known caches that their applications fetch or rebuild again, largest first. "
                                  "Tick what to move to the Trash."),
                               textFont(11), secondaryText(), header);
  subtitle->setWordWrap(true); // a longer translation, or a filter beside it, leaves it less room
  titles->addWidget(subtitle);
  filterLabel_ = makeLabel({}, textFont(11, QFont::DemiBold), primaryText(), header);
  showAll_ = new QPushButton(tr("Show All"), header);
  connect(showAll_, &QPushButton::clicked, this, [this] { open(std::nullopt); });
  layout->addWidget(icon, 0, Qt::AlignTop);
  layout->addLayout(titles, 1);
  layout->addWidget(filterLabel_);
  layout->addWidget(showAll_);
  return header;
}

QWidget *CacheCleanupWindow::makeBusyPage() {
  auto *page = new QWidget(pages_);
  auto *layout = new QVBoxLayout(page);
  layout->addStretch();
  layout->addWidget(new tarnwick::BusySpinner(36, page), 0, Qt::AlignHCenter);
  busyText_ = makeLabel({}, textFont(14, QFont::DemiBold), primaryText(), page);
  busyText_->setAlignment(Qt::AlignCenter);
  layout->addWidget(busyText_);
  progress_ = new QProgressBar(page);
  progress_->setMaximumWidth(420);
  progress_->setTextVisible(false);
  layout->addWidget(progress_, 0, Qt::AlignHCenter);
  cancel_ = new QPushButton(tr("Cancel"), page);
  connect(cancel_, &QPushButton::clicked, &controller_, &tarnwick::CacheCleanupController::cancel);
  layout->addWidget(cancel_, 0, Qt::AlignHCenter);
  layout->addStretch();
  return page;
}

QWidget *CacheCleanupWindow::makeFooter() {
  auto *footer = new QWidget(this);
  auto *layout = new QHBoxLayout(footer);
  layout->setContentsMargins(18, 10, 18, 14);
  total_ = makeLabel({}, textFont(12, QFont::DemiBold), primaryText(), footer);
  rescan_ = new QPushButton(tarnwick::SymbolIcons::icon("arrow.clockwise"), tr("Rescan"), footer);
  trash_ = new QPushButton(trashActionText(), footer);
  trash_->setIcon(QIcon(tarnwick::SymbolIcons::tinted("trash", 14, Qt::white, devicePixelRatioF())));
  trash_->setStyleSheet(QStringLiteral("QPushButton { background: %1; color: white; border-radius: 6px; padding: 5px 14px; }"
                                       "QPushButton:focus { border: 2px solid %3; padding: 3px 12px; }"
                                       "QPushButton:disabled { background: %2; color: rgba(255,255,255,110); }")
                            .arg(destructiveRed().name(), controlBackground().name(), primaryText().name()));
  connect(rescan_, &QPushButton::clicked, &controller_, &tarnwick::CacheCleanupController::rescan);
  connect(trash_, &QPushButton::clicked, this, &CacheCleanupWindow::confirmAndClean);
  layout->addWidget(total_);
  layout->addStretch();
  layout->addWidget(rescan_);
  layout->addWidget(trash_);
  return footer;
}

SystemCachesPanel *CacheCleanupWindow::showSystemCaches(tarnwick::SystemCacheController::CatalogueFactory factory) {
  if (systemCaches_ == nullptr) {
    systemCaches_ = new SystemCachesPanel(std::move(factory), this);
    auto *layout = static_cast<QVBoxLayout *>(this->layout());
    layout->insertWidget(layout->indexOf(pages_) + 1, systemCaches_);
    connect(rescan_, &QPushButton::clicked, &systemCaches_->controller(), &tarnwick::SystemCacheController::measure);
  }
  return systemCaches_;
}

void CacheCleanupWindow::open(std::optional<CleanableCategory> category) {
  controller_.setCategoryFilter(category);
  filterLabel_->setText(category ? tr("Only: ") + tarnwick::categoryTitle(*category) : QString());
  filterLabel_->setVisible(category.has_value());
  showAll_->setVisible(category.has_value());
  // Measure on first opening, and again when nothing is known yet (the
  // last measurement was cancelled or found nothing).
  if (!controller_.isScanning() && !controller_.isCleaning() && (!measuredOnce_ || controller_.items().empty())) {
    measuredOnce_ = true;
    controller_.rescan();
  }
  if (systemCaches_ != nullptr && !systemCaches_->controller().hasMeasured())
    systemCaches_->controller().measure();
  show();
  raise();
  activateWindow();
}

void CacheCleanupWindow::rebuildList() {
  const QSignalBlocker quiet(list_); // building is not the user ticking
  list_->clear();
  const std::vector<CleanableItem> &items = controller_.items();
  // Groups in the order of their largest item; items already come largest first.
  std::vector<CleanableCategory> order;
  std::map<CleanableCategory, std::pair<QTreeWidgetItem *, std::int64_t>> groups;
  for (std::size_t index = 0; index < items.size(); ++index) {
    const CleanableItem &item = items[index];
    if (!controller_.isVisible(item))
      continue;
    auto [group, inserted] = groups.try_emplace(item.category, nullptr, 0);
    if (inserted) {
      group->second.first = new QTreeWidgetItem(list_);
      order.push_back(item.category);
    }
    group->second.second += item.sizeBytes;
    auto *row = new QTreeWidgetItem(group->second.first);
    row->setText(nameColumn, displayText(item.name));
    row->setData(nameColumn, itemIndexRole, qulonglong(index));
    row->setCheckState(nameColumn, item.isSelected ? Qt::Checked : Qt::Unchecked);
    row->setText(descriptionColumn, displayText(item.subtitle));
    row->setToolTip(descriptionColumn, row->text(descriptionColumn));
    row->setText(sizeColumn, TreemapPalette::formatBytes(item.sizeBytes));
    row->setTextAlignment(sizeColumn, Qt::AlignRight | Qt::AlignVCenter);
    if (item.lastModified)
      row->setText(modifiedColumn, QLocale().toString(QDateTime::fromMSecsSinceEpoch(qint64(*item.lastModified * 1000)).date(),
                                                      QLocale::ShortFormat));
    row->setText(pathColumn, displayText(item.path));
    row->setToolTip(pathColumn, displayText(item.path));
    if (!item.isSafeByDefault)
      row->setToolTip(nameColumn, tr("Slow or costly to fetch again; not ticked unless you choose it."));
  }
  for (CleanableCategory category : order) {
    auto &[group, bytes] = groups[category];
    const QColor colour = TreemapPalette::color(category);
    group->setText(nameColumn, tarnwick::categoryTitle(category));
    group->setIcon(nameColumn, QIcon(tarnwick::SymbolIcons::tinted(tarnwick::sfSymbolName(category).data(), 16, colour,
                                                                   devicePixelRatioF())));
    group->setForeground(nameColumn, colour);
    group->setFont(nameColumn, textFont(12, QFont::Bold));
    group->setText(sizeColumn, TreemapPalette::formatBytes(bytes));
    group->setTextAlignment(sizeColumn, Qt::AlignRight | Qt::AlignVCenter);
    group->setFirstColumnSpanned(false);
    group->setExpanded(true);
  }
  refreshPage();
}

void CacheCleanupWindow::refreshTotal() {
  const std::vector<CleanableItem> ticked = controller_.tickedItems();
  total_->setText(tr("%1 ticked · %2")
                      .arg(TreemapPalette::formatItemCount(std::int64_t(ticked.size()), true),
                           TreemapPalette::formatBytes(controller_.tickedBytes())));
  trash_->setEnabled(!ticked.empty() && !controller_.isScanning() && !controller_.isCleaning());
}

void CacheCleanupWindow::refreshPage() {
  const bool busy = controller_.isScanning() || controller_.isCleaning();
  if (controller_.isCleaning()) {
    const auto &progress = controller_.cleanProgress();
    busyText_->setText(progress ? tr("Moving %1 of %2 to the Trash…").arg(progress->currentIndex + 1).arg(progress->totalCount)
                                : tr("Moving to the Trash…"));
    progress_->setRange(0, progress ? int(progress->totalCount) : 0);
    progress_->setValue(progress ? int(progress->currentIndex) : 0);
    progress_->show();
  } else {
    busyText_->setText(tr("Looking for caches…"));
    progress_->hide();
  }
  empty_->setText(controller_.wasCancelled() ? tr("Measuring was cancelled. Choose Rescan to look again.")
                                            : tr("No known caches found."));
  if (busy)
    pages_->setCurrentIndex(busyPage);
  else
    pages_->setCurrentIndex(list_->topLevelItemCount() > 0 ? listPage : emptyPage);
  rescan_->setEnabled(!busy);
  refreshTotal();
}

void CacheCleanupWindow::confirmAndClean() {
  const std::vector<CleanableItem> ticked = controller_.tickedItems();
  if (ticked.empty())
    return;
  // Emptying the Trash is the one step that cannot be undone: it is named.
  std::int64_t trashBytes = 0;
  std::int64_t movedBytes = 0;
  std::int64_t moved = 0;
  for (const CleanableItem &item : ticked)
    if (item.category == CleanableCategory::trashBins) {
      trashBytes += item.sizeBytes;
    } else {
      movedBytes += item.sizeBytes;
      ++moved;
    }
  const QString move = tr("move %1 (%2) to the Trash")
                           .arg(TreemapPalette::formatItemCount(moved, true), TreemapPalette::formatBytes(movedBytes));
  QString question = tr("Move %1 (%2) to the Trash?")
                         .arg(TreemapPalette::formatItemCount(moved, true), TreemapPalette::formatBytes(movedBytes));
  if (moved < std::int64_t(ticked.size()))
    question = tr("Empty the Trash (%1) for good%2? This cannot be undone.")
                   .arg(TreemapPalette::formatBytes(trashBytes), moved > 0 ? tr(", then ") + move : QString());
  if (confirmer_ && confirmer_(this, question))
    controller_.clean();
}

void CacheCleanupWindow::showReport() {
  const auto &report = controller_.lastReport();
  if (!report)
    return;
  const CleaningReportMessage message =
      CleaningReportMessage::from(*report, controller_.emptiedTrash(), controller_.emptiedTrashBytes());
  reportSummary_->setText(message.text);
  std::vector<std::string> emptied;
  for (const CleanableItem &item : controller_.items())
    if (item.category == CleanableCategory::trashBins)
      emptied.push_back(item.path);
  reportDetails_->setPlainText(reportDetails(*report, emptied));
  reportPanel_->show();
}

QString CacheCleanupWindow::totalText() const { return total_->text(); }
QString CacheCleanupWindow::reportText() const {
  return reportPanel_->isHidden() ? QString() : reportSummary_->text() + QLatin1Char('\n') + reportDetails_->toPlainText();
}
bool CacheCleanupWindow::isShowingBusy() const { return pages_->currentIndex() == busyPage; }

} // namespace quillane
