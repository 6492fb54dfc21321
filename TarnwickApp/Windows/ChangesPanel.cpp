#include "TarnwickApp/Windows/ChangesPanel.h"

#include "TarnwickCore/Diff/ScanTreeFile.h"
#include "TarnwickCore/Diff/TreeComparison.h"
#include "TarnwickUI/ChangesModel.h"
#include "TarnwickUI/WidgetStyle.h"

#include <QCloseEvent>
#include <QDateTime>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QTableView>
#include <QVBoxLayout>

#include <variant>

namespace quillane {

/// What a worker hands back: the rows and header facts, or why not.
struct ChangesPanel::Outcome {
  std::optional<QString> error;
  std::vector<tarnwick::SizeChange> changes;
  std::optional<std::int64_t> scanTime;
  QString olderRoot;
  std::int64_t totalDifference = 0;
};

ChangesPanel::Outcome ChangesPanel::compareOffThread(const std::string &file, const tarnwick::DiskTreeArena &newer,
                                                     std::stop_token stop) {
  Outcome outcome;
  tarnwick::ScanTreeFile::Outcome read = tarnwick::ScanTreeFile::read(file, stop);
  if (const auto *failure = std::get_if<tarnwick::ScanTreeFileError>(&read)) {
    outcome.error = tarnwick::WidgetStyle::displayText(failure->detail);
    return outcome;
  }
  const tarnwick::ScanTreeFile &older = std::get<tarnwick::ScanTreeFile>(read);
  outcome.scanTime = older.scanTime;
  outcome.olderRoot = tarnwick::WidgetStyle::displayText(older.arena.rootPath());
  const std::optional<tarnwick::TreeComparison> comparison =
      tarnwick::TreeComparison::compare(older.arena, newer, stop);
  if (!comparison)
    return outcome; // stopped: nobody waits for it
  outcome.changes = comparison->largestChanges(rowLimit);
  outcome.totalDifference = comparison->totalDifference();
  return outcome;
}

ChangesPanel::ChangesPanel(QWidget *parent)
    : QDockWidget(tr("Changes"), parent), header_(new QLabel), table_(new QTableView),
      model_(new tarnwick::ChangesModel(this)) {
  setObjectName(QStringLiteral("changesPanel"));
  setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable);
  auto *content = new QWidget(this);
  auto *layout = new QVBoxLayout(content);
  layout->setContentsMargins(8, 4, 8, 8);
  header_->setTextFormat(Qt::PlainText);
  header_->setWordWrap(true);
  layout->addWidget(header_);
  table_->setModel(model_);
  table_->setSortingEnabled(true);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->verticalHeader()->hide();
  table_->horizontalHeader()->setSectionResizeMode(tarnwick::ChangesModel::pathColumn, QHeaderView::Stretch);
  table_->horizontalHeader()->setSortIndicator(tarnwick::ChangesModel::differenceColumn, Qt::DescendingOrder);
  // Room for a few rows however tall the explorer above wants to be.
  table_->setMinimumHeight(table_->fontMetrics().height() * 9);
  layout->addWidget(table_);
  setWidget(content);
  hide();
}

ChangesPanel::~ChangesPanel() {
  if (running_)
    running_->request_stop(); // the workers' destructor joins it
}

void ChangesPanel::compareWith(const QString &file, std::shared_ptr<const tarnwick::DiskTreeArena> newer) {
  if (running_)
    running_->request_stop();
  running_.emplace();
  const std::uint64_t generation = ++generation_;
  workers_.launch([this, generation, file, newer = std::move(newer), stop = running_->get_token()] {
    Outcome outcome = compareOffThread(file.toStdString(), *newer, stop);
    if (stop.stop_requested())
      return;
    workers_.post([this, generation, file, outcome = std::move(outcome)] {
      if (generation != generation_)
        return; // a later comparison, or clear(), replaced it
      running_.reset();
      if (outcome.error)
        emit failed(file, *outcome.error);
      else
        present(outcome);
    });
  });
}

void ChangesPanel::present(const Outcome &outcome) {
  const QString when = outcome.scanTime
                           ? QLocale().toString(QDateTime::fromSecsSinceEpoch(*outcome.scanTime), QLocale::ShortFormat)
                           : tr("an unknown date");
  header_->setText(tr("Compared with the scan of %1 (%2). Total change: %3.")
                       .arg(when, outcome.olderRoot, tarnwick::ChangesModel::signedBytes(outcome.totalDifference)));
  model_->setChanges(outcome.changes);
  const QHeaderView *columns = table_->horizontalHeader();
  model_->sort(columns->sortIndicatorSection(), columns->sortIndicatorOrder());
  show();
  raise();
  emit shown();
}

void ChangesPanel::clear() {
  ++generation_;
  if (running_)
    running_->request_stop();
  running_.reset();
  model_->setChanges({});
  header_->clear();
  hide();
}

void ChangesPanel::closeEvent(QCloseEvent *event) {
  QDockWidget::closeEvent(event);
  clear();
}

} // namespace quillane
