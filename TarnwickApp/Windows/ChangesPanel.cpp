#include "TarnwickApp/Windows/ChangesPanel.h"

#include "TarnwickCore/Diff/ScanTreeFile.h"
#include "TarnwickCore/Diff/TreeComparison.h"
#include "TarnwickUI/ChangesModel.h"
#include "TarnwickUI/WidgetStyle.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDateTime>
#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPixmap>
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
  std::shared_ptr<const tarnwick::TreeComparison> comparison;
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
  std::optional<tarnwick::TreeComparison> comparison = tarnwick::TreeComparison::compare(older.arena, newer, stop);
  if (!comparison)
    return outcome; // stopped: nobody waits for it
  outcome.changes = comparison->largestChanges(rowLimit);
  outcome.totalDifference = comparison->totalDifference();
  outcome.comparison = std::make_shared<const tarnwick::TreeComparison>(std::move(*comparison));
  return outcome;
}

ChangesPanel::ChangesPanel(QWidget *parent)
    : QDockWidget(tr("Changes"), parent), header_(new QLabel),
      colourByChange_(new QCheckBox(tr("Colour the treemap by change"))), table_(new QTableView),
      model_(new tarnwick::ChangesModel(this)) {
  setObjectName(QStringLiteral("changesPanel"));
  setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable);
  auto *content = new QWidget(this);
  auto *layout = new QVBoxLayout(content);
  layout->setContentsMargins(8, 4, 8, 8);
  header_->setTextFormat(Qt::PlainText);
  header_->setWordWrap(true);
  layout->addWidget(header_);
  colourByChange_->setChecked(true);
  connect(colourByChange_, &QCheckBox::toggled, this, [this] { emit colouringChanged(colouring()); });
  layout->addWidget(makeLegend());
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

QWidget *ChangesPanel::makeLegend() {
  auto *legend = new QWidget;
  auto *row = new QHBoxLayout(legend);
  row->setContentsMargins(0, 0, 0, 0);
  row->addWidget(colourByChange_);
  row->addSpacing(12);
  using Change = tarnwick::TreeComparison::Change;
  const std::pair<Change, QString> kinds[] = {
      {Change::grown, tr("Grown")}, {Change::shrunk, tr("Shrunk")}, {Change::added, tr("New")},
      {Change::unchanged, tr("Unchanged")}};
  const int side = fontMetrics().height() * 3 / 4;
  for (const auto &[change, name] : kinds) {
    QPixmap swatch(side, side);
    swatch.fill(tarnwick::ChangeColouring::colour(change));
    auto *mark = new QLabel;
    mark->setPixmap(swatch);
    row->addWidget(mark);
    row->addWidget(new QLabel(name));
    row->addSpacing(8);
  }
  auto *note = new QLabel(tr("The stronger the colour, the larger the change for its size. Gone entries have no "
                             "tile: the list shows them."));
  note->setWordWrap(true);
  row->addWidget(note, 1);
  return legend;
}

tarnwick::ChangeColouring ChangesPanel::colouring() const {
  return comparison_ && colourByChange_->isChecked() ? tarnwick::ChangeColouring(comparison_)
                                                     : tarnwick::ChangeColouring();
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
    Outcome outcome = compareOffThread(QFile::encodeName(file).toStdString(), *newer, stop);
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
  comparison_ = outcome.comparison;
  show();
  raise();
  emit shown();
  emit colouringChanged(colouring());
}

void ChangesPanel::clear() {
  ++generation_;
  if (running_)
    running_->request_stop();
  running_.reset();
  model_->setChanges({});
  header_->clear();
  hide();
  if (comparison_) {
    comparison_.reset();
    emit colouringChanged(colouring());
  }
}

void ChangesPanel::closeEvent(QCloseEvent *event) {
  QDockWidget::closeEvent(event);
  clear();
}

} // namespace quillane
