#include "TarnwickUI/NameSearchPanel.h"

#include "TarnwickCore/Tree/NameSearch.h"
#include "TarnwickUI/NameColumnFit.h"
#include "TarnwickUI/NameSearchModel.h"
#include "TarnwickUI/WidgetStyle.h"

#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QTreeView>
#include <QVBoxLayout>

namespace tarnwick {
namespace {

// The rows of the matches, made on the searching thread: paths cost a walk
// up the tree each, which the GUI thread should not pay.
std::vector<NameSearchModel::Row> rowsOf(const DiskTreeArena &arena, const std::vector<NodeID> &ids,
                                         std::stop_token stop) {
  std::vector<NameSearchModel::Row> rows;
  rows.reserve(ids.size());
  for (NodeID id : ids) {
    if (stop.stop_requested())
      return {};
    const DiskTreeArena::Record &r = arena.record(id);
    rows.push_back({id, WidgetStyle::displayText(arena.name(id)), WidgetStyle::displayText(arena.path(r.parentID)),
                    r.allocatedSize, static_cast<bool>(r.isDirectory)});
  }
  return rows;
}

} // namespace

NameSearchPanel::NameSearchPanel(QWidget *parent)
    : QWidget(parent), field_(new QLineEdit(this)), results_(new QTreeView(this)), status_(new QLabel(this)),
      model_(new NameSearchModel(this)) {
  field_->setPlaceholderText(tr("Search names (use * and ? for patterns)"));
  field_->setClearButtonEnabled(true);
  field_->setAccessibleName(tr("Search names"));
  results_->setModel(model_);
  results_->setRootIsDecorated(false);
  results_->setUniformRowHeights(true);
  results_->setTextElideMode(Qt::ElideMiddle); // keeps a long name's extension in sight
  results_->setSortingEnabled(true);
  results_->sortByColumn(NameSearchModel::sizeColumn, Qt::DescendingOrder);
  results_->setAccessibleName(tr("Search results"));
  // Name and folder share the width; in a narrow window the folder gives
  // way, down to a stub, so that names stay readable.
  const int sizeRoom = results_->fontMetrics().horizontalAdvance(QStringLiteral("999.9 MB")) + 18;
  new NameColumnFit(results_, NameSearchModel::nameColumn,
                    {{NameSearchModel::sizeColumn, sizeRoom, sizeRoom}, {NameSearchModel::folderColumn, 0, 60, 0.45}});
  auto *layout = new QVBoxLayout(this);
  layout->addWidget(field_);
  layout->addWidget(results_, 1);
  layout->addWidget(status_);
  connect(field_, &QLineEdit::textChanged, this, &NameSearchPanel::search);
  connect(field_, &QLineEdit::returnPressed, this, [this] {
    if (model_->rowCount() > 0)
      choose(model_->index(0, 0));
  });
  connect(results_, &QTreeView::activated, this, &NameSearchPanel::choose);
}

NameSearchPanel::~NameSearchPanel() { running_.request_stop(); }

void NameSearchPanel::setArena(std::shared_ptr<const DiskTreeArena> arena) {
  arena_ = std::move(arena);
  search();
}

QString NameSearchPanel::statusText() const { return status_->text(); }

void NameSearchPanel::search() {
  running_.request_stop();
  running_ = std::stop_source();
  const std::uint64_t generation = ++generation_;
  const std::string pattern = field_->text().toStdString();
  if (!arena_ || pattern.empty()) {
    model_->setRows({});
    status_->clear();
    emit resultsShown();
    return;
  }
  status_->setText(tr("Searching…"));
  workers_.launch([this, tree = arena_, pattern, generation, stop = running_.get_token()] {
    const NameSearchResult found = NameSearch(pattern).findIn(*tree, shownLimit, stop);
    std::vector<NameSearchModel::Row> rows = found.stopped ? std::vector<NameSearchModel::Row>()
                                                           : rowsOf(*tree, found.matches, stop);
    if (stop.stop_requested())
      return;
    workers_.post([this, generation, count = found.matchCount, rows = std::move(rows)]() mutable {
      if (generation != generation_)
        return;
      const auto shown = static_cast<qlonglong>(rows.size());
      model_->setRows(std::move(rows));
      if (count == 0)
        status_->setText(tr("No matches"));
      else if (static_cast<qlonglong>(count) == shown)
        status_->setText(tr("%Ln match(es)", nullptr, int(shown)));
      else
        status_->setText(tr("Showing the first %1 of %2 matches")
                             .arg(QLocale().toString(shown), QLocale().toString(static_cast<qlonglong>(count))));
      emit resultsShown();
    });
  });
}

void NameSearchPanel::choose(const QModelIndex &index) {
  if (index.isValid())
    emit nodeChosen(model_->nodeAt(index.row()));
}

} // namespace tarnwick
