#include "TarnwickUI/TreeListView.h"

#include "TarnwickUI/NameColumnFit.h"
#include "TarnwickUI/NodeContextMenu.h"
#include "TarnwickUI/ShareBarDelegate.h"
#include "TarnwickUI/TreeListModel.h"

#include <QContextMenuEvent>
#include <QDate>
#include <QLocale>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QScopedValueRollback>

#include <algorithm>

namespace tarnwick {

TreeListView::TreeListView(QWidget *parent) : QTreeView(parent), model_(new TreeListModel(this)) {
  setModel(model_);
  setItemDelegateForColumn(TreeListModel::shareColumn, new ShareBarDelegate(this));
  // Every row is one line: the view then never measures rows it does not show.
  setUniformRowHeights(true);
  setAlternatingRowColors(true);
  setAllColumnsShowFocus(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setTextElideMode(Qt::ElideMiddle); // keeps a long name's extension in sight
  setExpandsOnDoubleClick(false);    // double-click enters the folder
  setFrameShape(QFrame::NoFrame);

  QHeaderView *columns = header();
  columns->setMinimumSectionSize(40);
  // Room for the widest text each column is likely to hold. In a narrow
  // list the bar of "% of Parent" shrinks first, then Modified and Files
  // hide: the names are what the list is read by.
  const QFontMetrics metrics = fontMetrics();
  const auto room = [&](const QString &sample) { return metrics.horizontalAdvance(sample) + 18; };
  const QString latestDate = QLocale().toString(QDate(2000, 12, 28), QLocale::ShortFormat);
  const int size = room(QStringLiteral("999.9 MB")), share = room(QStringLiteral("100.0%"));
  const int files = room(QStringLiteral("999,999")), modified = room(latestDate);
  new NameColumnFit(this, TreeListModel::nameColumn,
                    {{TreeListModel::sizeColumn, size, size},
                     {TreeListModel::shareColumn, share + 56, share + 16},
                     {TreeListModel::filesColumn, files, files},
                     {TreeListModel::modifiedColumn, modified, modified}});
  // The model's own order (Size, largest first) is the indicator's before
  // sorting is switched on, so switching it on sorts nothing.
  columns->setSortIndicator(model_->sortColumn(), model_->sortOrder());
  setSortingEnabled(true);

  connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
    if (!isSyncing_)
      emit nodeSelected(selectedNodeID());
  });
  connect(this, &QTreeView::doubleClicked, this, &TreeListView::enterIfFolder);
}

void TreeListView::showFolder(std::shared_ptr<const DiskTreeArena> arena, NodeID folder, std::optional<NodeID> selected) {
  const QScopedValueRollback syncing(isSyncing_, true);
  const std::shared_ptr<const DiskTreeArena> &old = model_->arena();
  if (arena != old || folder != model_->topFolder()) {
    // The same folder in a newer scan keeps what was open in it.
    const bool samePlace = arena && old && arena != old && arena->isValid(folder) &&
                           old->isValid(model_->topFolder()) && arena->path(folder) == old->path(model_->topFolder());
    const std::vector<NameChain> chains = samePlace ? expandedChains() : std::vector<NameChain>{};
    model_->setTree(std::move(arena), folder);
    expandChains(chains);
  }
  select(selected);
}

std::optional<NodeID> TreeListView::selectedNodeID() const {
  const QModelIndexList rows = selectionModel()->selectedRows();
  if (rows.isEmpty())
    return std::nullopt;
  return model_->nodeID(rows.front());
}

void TreeListView::select(std::optional<NodeID> id) {
  if (id == selectedNodeID())
    return;
  const QModelIndex row = id ? model_->indexOf(*id) : QModelIndex();
  if (!row.isValid()) {
    selectionModel()->clear();
    return;
  }
  selectionModel()->setCurrentIndex(row, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  scrollTo(row); // expands the rows above it
}

std::vector<TreeListView::NameChain> TreeListView::expandedChains() const {
  std::vector<NameChain> chains;
  const std::shared_ptr<const DiskTreeArena> &arena = model_->arena();
  for (NodeID id : model_->fetchedFolders()) {
    if (id == model_->topFolder() || !isExpanded(model_->indexOf(id)))
      continue;
    NameChain chain;
    for (NodeID at = id; at != model_->topFolder(); at = arena->record(at).parentID)
      chain.emplace_back(arena->name(at));
    std::reverse(chain.begin(), chain.end());
    chains.push_back(std::move(chain));
  }
  // Parents first: a folder is expanded after the one holding it.
  std::sort(chains.begin(), chains.end(), [](const NameChain &a, const NameChain &b) { return a.size() < b.size(); });
  return chains;
}

void TreeListView::expandChains(const std::vector<NameChain> &chains) {
  for (const NameChain &chain : chains) {
    std::optional<NodeID> at = model_->topFolder();
    for (const std::string &name : chain)
      if (at)
        at = model_->childNamed(*at, name);
    if (at)
      expand(model_->indexOf(*at));
  }
}

void TreeListView::enterIfFolder(const QModelIndex &index) {
  const NodeID id = model_->nodeID(index);
  if (index.isValid() && model_->arena()->record(id).isDirectory)
    emit enterFolder(id);
}

void TreeListView::keyPressEvent(QKeyEvent *event) {
  if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && currentIndex().isValid()) {
    enterIfFolder(currentIndex());
    return;
  }
  if (event->key() == Qt::Key_Delete && event->modifiers() == Qt::NoModifier && currentIndex().isValid()) {
    if (const std::optional<DiskNode> node = model_->arena()->node(model_->nodeID(currentIndex())))
      emit moveToTrash(*node);
    return;
  }
  QTreeView::keyPressEvent(event);
}

QMenu *TreeListView::contextMenuFor(const QModelIndex &row, QWidget *parent) {
  const std::optional<DiskNode> node = row.isValid() ? model_->arena()->node(model_->nodeID(row)) : std::nullopt;
  if (!node)
    return new QMenu(parent);
  const NodeContextMenu content{cleaningRefusal_,
                                cleaningRefusal_ || !trashRefusalCheck_ ? std::nullopt : trashRefusalCheck_(node->path)};
  const NodeID id = model_->nodeID(row);
  return content.build(*node,
                       {[this, id] { emit enterFolder(id); }, [this, node = *node] { emit rescanFolder(node); },
                        [this, node = *node] { emit revealInFileManager(node); },
                        [this, node = *node] { emit moveToTrash(node); }},
                       parent);
}

void TreeListView::contextMenuEvent(QContextMenuEvent *event) {
  // From the keyboard, the current row; from the mouse, the row under it,
  // which the menu acts on and so becomes the selection.
  const bool fromKeyboard = event->reason() == QContextMenuEvent::Keyboard;
  const QModelIndex row = fromKeyboard ? currentIndex() : indexAt(event->pos());
  if (!row.isValid())
    return;
  if (!fromKeyboard)
    selectionModel()->setCurrentIndex(row, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  QMenu *menu = contextMenuFor(row, this);
  menu->setAttribute(Qt::WA_DeleteOnClose);
  const QPoint at = fromKeyboard ? viewport()->mapToGlobal(visualRect(row).center()) : event->globalPos();
  menu->popup(at);
}

} // namespace tarnwick
