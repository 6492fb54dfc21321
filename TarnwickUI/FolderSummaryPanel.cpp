#include "TarnwickUI/FolderSummaryPanel.h"

#include "TarnwickCore/Support/ByteCountFormat.h"
#include "TarnwickCore/Support/PathJoin.h"
#include "TarnwickCore/Tree/FileTypeUsage.h"
#include "TarnwickCore/Tree/LargestFiles.h"
#include "TarnwickUI/SplitterMemory.h"
#include "TarnwickUI/WidgetStyle.h"

#include <QDateTime>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QSplitter>
#include <QStandardItemModel>
#include <QTreeView>
#include <QVBoxLayout>

namespace tarnwick {
namespace {

// Cells sort by this role: numbers as numbers, text ignoring case.
constexpr int sortRole = Qt::UserRole + 1;
constexpr int nodeRole = Qt::UserRole + 2;

QStandardItem *cell(const QString &text, const QVariant &sortKey, bool alignRight = false) {
  auto *item = new QStandardItem(text);
  item->setEditable(false);
  item->setData(sortKey, sortRole);
  if (alignRight)
    item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
  return item;
}

QTreeView *makeList(QStandardItemModel *model, const QStringList &headers, int stretched, QWidget *parent) {
  model->setHorizontalHeaderLabels(headers);
  model->setSortRole(sortRole);
  auto *view = new QTreeView(parent);
  view->setModel(model);
  view->setRootIsDecorated(false);
  view->setUniformRowHeights(true);
  view->setSortingEnabled(true);
  view->header()->setStretchLastSection(false);
  // At most a few hundred rows: every number and date can be shown whole.
  view->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
  view->header()->setSectionResizeMode(stretched, QHeaderView::Stretch);
  return view;
}

// The rows, made on the worker: paths and dates cost a walk and a
// conversion each, which the GUI thread should not pay.
// Owns its items until fill() hands them to a model.
struct Summary {
  std::vector<QList<QStandardItem *>> largest;
  std::vector<QList<QStandardItem *>> types;

  Summary() = default;
  Summary(const Summary &) = delete;
  Summary &operator=(const Summary &) = delete;
  ~Summary() {
    for (auto *rows : {&largest, &types})
      for (const QList<QStandardItem *> &row : *rows)
        qDeleteAll(row);
  }
};

// Where `path` lies below `folder`, whose path the panel's title shows: the
// rows then differ from their first letter, and the file names stay in view.
std::string pathBelow(const std::string &folder, const std::string &path) {
  if (path == folder || !holdsPath(folder, path))
    return path;
  return path.substr(folder == "/" ? 1 : folder.size() + 1);
}

void summarize(const DiskTreeArena &arena, NodeID folder, Summary &summary) {
  const std::string folderPath = arena.path(folder);
  for (NodeID id : largestFiles(arena, folder, FolderSummaryPanel::largestShown)) {
    const DiskTreeArena::Record &r = arena.record(id);
    const std::string fullPath = arena.path(id);
    const QString path = WidgetStyle::displayText(pathBelow(folderPath, fullPath));
    const auto modified = QDateTime::fromSecsSinceEpoch(static_cast<qint64>(r.modificationTimestamp));
    QList<QStandardItem *> row{cell(path, path.toCaseFolded()),
                               cell(QString::fromStdString(formatByteCount(r.allocatedSize)),
                                    qlonglong(r.allocatedSize), true),
                               cell(QLocale().toString(modified, QLocale::ShortFormat), modified)};
    row.front()->setData(id, nodeRole);
    row.front()->setToolTip(WidgetStyle::displayText(fullPath));
    summary.largest.push_back(row);
  }
  const std::int64_t total = arena.isValid(folder) ? arena.record(folder).allocatedSize : 0;
  for (const FileTypeUsage &usage : fileTypeUsage(arena, folder)) {
    const QString type = QString::fromStdString(usage.type);
    const double share = total > 0 ? 100.0 * double(usage.allocatedSize) / double(total) : 0;
    QList<QStandardItem *> row{
        cell(type.isEmpty() ? FolderSummaryPanel::tr("(no type)") : u'.' + type, type),
        cell(QString::fromStdString(formatByteCount(usage.allocatedSize)), qlonglong(usage.allocatedSize), true),
        cell(QLocale().toString(qlonglong(usage.fileCount)), qlonglong(usage.fileCount), true),
        cell(QStringLiteral("%1 %").arg(share, 0, 'f', 1), share, true)};
    row.front()->setData(type, nodeRole);
    summary.types.push_back(row);
  }
}

void fill(QStandardItemModel *model, std::vector<QList<QStandardItem *>> &rows) {
  model->removeRows(0, model->rowCount());
  for (const QList<QStandardItem *> &row : rows)
    model->appendRow(row);
  rows.clear();
}

} // namespace

FolderSummaryPanel::FolderSummaryPanel(QWidget *parent)
    : QWidget(parent), title_(new QLabel(this)), largestModel_(new QStandardItemModel(this)),
      typesModel_(new QStandardItemModel(this)) {
  auto *split = new QSplitter(Qt::Vertical, this);
  largest_ = makeList(largestModel_, {tr("Largest Files"), tr("Size"), tr("Modified")}, 0, split);
  types_ = makeList(typesModel_, {tr("File Type"), tr("Size"), tr("Files"), tr("Share")}, 0, split);
  largest_->setTextElideMode(Qt::ElideMiddle); // keeps the file's name in sight
  largest_->setAccessibleName(tr("Largest files"));
  types_->setAccessibleName(tr("File types"));
  largest_->sortByColumn(1, Qt::DescendingOrder);
  types_->sortByColumn(1, Qt::DescendingOrder);
  split->addWidget(largest_);
  split->addWidget(types_);
  SplitterMemory::remember(split, QStringLiteral("layout/summarySplitter"));
  auto *layout = new QVBoxLayout(this);
  layout->addWidget(title_);
  layout->addWidget(split, 1);
  connect(largest_, &QTreeView::activated, this, [this](const QModelIndex &index) {
    emit nodeChosen(index.siblingAtColumn(0).data(nodeRole).value<NodeID>());
  });
  connect(types_->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this](const QModelIndex &index) {
    if (index.isValid())
      emit fileTypeChosen(index.siblingAtColumn(0).data(nodeRole).toString());
  });
}

void FolderSummaryPanel::setFolder(std::shared_ptr<const DiskTreeArena> arena, NodeID folder) {
  arena_ = std::move(arena);
  folder_ = folder;
  summarize();
}

void FolderSummaryPanel::summarize() {
  const std::uint64_t generation = ++generation_;
  if (!arena_ || !arena_->isValid(folder_)) {
    largestModel_->removeRows(0, largestModel_->rowCount());
    typesModel_->removeRows(0, typesModel_->rowCount());
    title_->clear();
    emit summaryShown();
    return;
  }
  title_->setText(tr("In %1").arg(WidgetStyle::displayText(arena_->path(folder_))));
  workers_.launch([this, tree = arena_, folder = folder_, generation] {
    auto summary = std::make_shared<Summary>();
    tarnwick::summarize(*tree, folder, *summary);
    workers_.post([this, summary, generation] {
      if (generation != generation_)
        return;
      fill(largestModel_, summary->largest);
      fill(typesModel_, summary->types);
      largest_->sortByColumn(largest_->header()->sortIndicatorSection(), largest_->header()->sortIndicatorOrder());
      types_->sortByColumn(types_->header()->sortIndicatorSection(), types_->header()->sortIndicatorOrder());
      emit summaryShown();
    });
  });
}

} // namespace tarnwick
