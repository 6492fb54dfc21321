#include "TarnwickUI/TreeListModel.h"

#include "TarnwickUI/SymbolIcons.h"
#include "TarnwickUI/TreemapPalette.h"
#include "TarnwickUI/WidgetStyle.h"

#include <QDateTime>
#include <QLocale>

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <utility>

namespace tarnwick {
namespace {

bool lessIgnoringCase(std::string_view a, std::string_view b);

/// The first eight bytes of `name`, upper case folded to lower, as one
/// number that orders as lessIgnoringCase orders them (names hold no zero
/// byte, so the padding sorts a shorter name first).
std::uint64_t foldedPrefix(std::string_view name) {
  std::uint64_t prefix = 0;
  for (std::size_t i = 0; i < 8; ++i) {
    const unsigned char c = i < name.size() ? static_cast<unsigned char>(name[i]) : 0;
    prefix = prefix << 8 | (c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
  }
  return prefix;
}

/// `ids` ordered by `key`, ascending by `less` or the reverse; equal keys
/// follow their names A to Z (`nameOf`, ignoring case) in both directions,
/// then identifier order, as a user reading the list expects. The keys and
/// the names' first bytes are read once, into one block, so the sort
/// touches no record and reads a name only where two begin alike.
template <typename KeyOf, typename Less, typename NameOf>
void orderBy(std::vector<NodeID> &ids, KeyOf keyOf, Less less, bool descending, NameOf nameOf) {
  using Key = decltype(keyOf(NodeID()));
  struct Keyed {
    Key key;
    std::uint64_t namePrefix;
    NodeID id;
  };
  std::vector<Keyed> keyed;
  keyed.reserve(ids.size());
  for (NodeID id : ids)
    keyed.push_back({keyOf(id), foldedPrefix(nameOf(id)), id});
  std::sort(keyed.begin(), keyed.end(), [&](const Keyed &a, const Keyed &b) {
    if (less(a.key, b.key))
      return !descending;
    if (less(b.key, a.key))
      return descending;
    if (a.namePrefix != b.namePrefix)
      return a.namePrefix < b.namePrefix;
    const std::string_view aName = nameOf(a.id), bName = nameOf(b.id);
    if (lessIgnoringCase(aName, bName))
      return true;
    if (lessIgnoringCase(bName, aName))
      return false;
    return a.id < b.id;
  });
  for (std::size_t i = 0; i < ids.size(); ++i)
    ids[i] = keyed[i].id;
}

bool lessIgnoringCase(std::string_view a, std::string_view b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](unsigned char x, unsigned char y) {
    const auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; };
    return lower(x) < lower(y);
  });
}

} // namespace

TreeListModel::TreeListModel(QObject *parent)
    : QAbstractItemModel(parent) {
  tintIcons();
}

void TreeListModel::tintIcons() const {
  // Tinted like the rest of the window (the drawings are black), again
  // when the window turns light or dark.
  iconTone_ = WidgetStyle::currentTone();
  folderIcon_ = SymbolIcons::tinted("folder.fill", 16, WidgetStyle::accent().lighter(130), 2.0);
  fileIcon_ = SymbolIcons::tinted("doc.fill", 16, WidgetStyle::secondaryText(0.8), 2.0);
}

void TreeListModel::setTree(std::shared_ptr<const DiskTreeArena> arena, NodeID topFolder) {
  beginResetModel();
  arena_ = std::move(arena);
  topFolder_ = topFolder;
  folders_.clear();
  endResetModel();
}

const TreeListModel::Folder *TreeListModel::folder(NodeID id) const {
  const auto found = folders_.find(id);
  return found == folders_.end() ? nullptr : &found->second;
}

NodeID TreeListModel::parentFolder(const QModelIndex &parent) const {
  return parent.isValid() ? NodeID(parent.internalId()) : topFolder_;
}

bool TreeListModel::isFolderWithChildren(NodeID id) const {
  if (!arena_ || !arena_->isValid(id))
    return false;
  const DiskTreeArena::Record &record = arena_->record(id);
  return record.isDirectory && record.childCount > 0;
}

NodeID TreeListModel::nodeID(const QModelIndex &index) const { return parentFolder(index); }

std::optional<NodeID> TreeListModel::childNamed(NodeID folder, std::string_view name) const {
  if (!isFolderWithChildren(folder))
    return std::nullopt;
  const DiskTreeArena::Record &record = arena_->record(folder);
  for (std::uint32_t i = 0; i < record.childCount; ++i)
    if (arena_->name(record.firstChildID + NodeID(i)) == name)
      return record.firstChildID + NodeID(i);
  return std::nullopt;
}

std::vector<NodeID> TreeListModel::fetchedFolders() const {
  std::vector<NodeID> ids;
  ids.reserve(folders_.size());
  for (const auto &entry : folders_)
    ids.push_back(entry.first);
  std::sort(ids.begin(), ids.end());
  return ids;
}

QModelIndex TreeListModel::indexOf(NodeID id, int column) {
  if (!arena_ || !arena_->isValid(id) || id == topFolder_)
    return {};
  // The chain from just below the top folder down to `id`; identifiers only
  // grow downwards, so the walk up stops at the top folder or above it.
  std::vector<NodeID> chain;
  for (NodeID at = id; at != topFolder_; at = arena_->record(at).parentID) {
    if (at < topFolder_) // passed it (or the root's -1): not below it
      return {};
    chain.push_back(at);
  }
  QModelIndex parent;
  for (auto step = chain.rbegin(); step != chain.rend(); ++step) {
    if (canFetchMore(parent))
      fetchMore(parent);
    const Folder *rows = folder(parentFolder(parent));
    const NodeID first = arena_->record(parentFolder(parent)).firstChildID;
    parent = createIndex(rows->rowOf[std::size_t(*step - first)], nameColumn, quintptr(*step));
  }
  return parent.siblingAtColumn(column);
}

QModelIndex TreeListModel::index(int row, int column, const QModelIndex &parent) const {
  const Folder *rows = folder(parentFolder(parent));
  if (!rows || row < 0 || std::size_t(row) >= rows->order.size() || column < 0 || column >= columnTotal)
    return {};
  return createIndex(row, column, quintptr(rows->order[std::size_t(row)]));
}

QModelIndex TreeListModel::parent(const QModelIndex &child) const {
  if (!child.isValid())
    return {};
  const NodeID parentID = arena_->record(NodeID(child.internalId())).parentID;
  if (parentID == topFolder_)
    return {};
  const NodeID grandparent = arena_->record(parentID).parentID;
  const Folder *rows = folder(grandparent);
  const int row = rows->rowOf[std::size_t(parentID - arena_->record(grandparent).firstChildID)];
  return createIndex(row, nameColumn, quintptr(parentID));
}

int TreeListModel::rowCount(const QModelIndex &parent) const {
  if (parent.isValid() && parent.column() != nameColumn)
    return 0;
  const Folder *rows = folder(parentFolder(parent));
  return rows ? int(rows->order.size()) : 0;
}

int TreeListModel::columnCount(const QModelIndex &) const { return columnTotal; }

bool TreeListModel::hasChildren(const QModelIndex &parent) const {
  if (parent.isValid() && parent.column() != nameColumn)
    return false;
  return isFolderWithChildren(parentFolder(parent));
}

bool TreeListModel::canFetchMore(const QModelIndex &parent) const {
  if (parent.isValid() && parent.column() != nameColumn)
    return false;
  const NodeID id = parentFolder(parent);
  return isFolderWithChildren(id) && !folder(id);
}

void TreeListModel::fetchMore(const QModelIndex &parent) {
  if (!canFetchMore(parent))
    return;
  const NodeID id = parentFolder(parent);
  const DiskTreeArena::Record &record = arena_->record(id);
  Folder rows;
  rows.order.resize(record.childCount);
  for (std::uint32_t i = 0; i < record.childCount; ++i)
    rows.order[i] = record.firstChildID + NodeID(i);
  orderChildren(id, rows);
  beginInsertRows(parent, 0, int(record.childCount) - 1);
  folders_.emplace(id, std::move(rows));
  endInsertRows();
}

void TreeListModel::orderChildren(NodeID id, Folder &rows) const {
  const DiskTreeArena &tree = *arena_;
  const bool descending = sortOrder_ == Qt::DescendingOrder;
  const auto nameOf = [&](NodeID child) { return tree.name(child); };
  switch (sortColumn_) {
  case nameColumn: // names equal but for case need no second look at them
    orderBy(rows.order, nameOf, lessIgnoringCase, descending, [](NodeID) { return std::string_view(); });
    break;
  case filesColumn:
    orderBy(rows.order, [&](NodeID child) { return tree.record(child).fileCount; }, std::less<>(), descending, nameOf);
    break;
  case modifiedColumn:
    orderBy(rows.order, [&](NodeID child) { return tree.record(child).modificationTimestamp; }, std::less<>(),
            descending, nameOf);
    break;
  default: // Size and % of parent
    orderBy(rows.order, [&](NodeID child) { return tree.record(child).allocatedSize; }, std::less<>(), descending,
            nameOf);
  }
  const NodeID first = tree.record(id).firstChildID;
  rows.rowOf.resize(rows.order.size());
  for (std::size_t row = 0; row < rows.order.size(); ++row)
    rows.rowOf[std::size_t(rows.order[row] - first)] = int(row);
}

void TreeListModel::sort(int column, Qt::SortOrder order) {
  if (column < 0 || column >= columnTotal || (column == sortColumn_ && order == sortOrder_))
    return;
  emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
  sortColumn_ = column;
  sortOrder_ = order;
  for (auto &[id, rows] : folders_)
    orderChildren(id, rows);
  const QModelIndexList before = persistentIndexList();
  QModelIndexList after;
  after.reserve(before.size());
  for (const QModelIndex &old : before) {
    const auto id = NodeID(old.internalId());
    const NodeID parentID = arena_->record(id).parentID;
    const int row = folder(parentID)->rowOf[std::size_t(id - arena_->record(parentID).firstChildID)];
    after.push_back(createIndex(row, old.column(), old.internalId()));
  }
  changePersistentIndexList(before, after);
  emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

Qt::ItemFlags TreeListModel::flags(const QModelIndex &index) const {
  if (!index.isValid())
    return Qt::NoItemFlags;
  Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  if (!isFolderWithChildren(NodeID(index.internalId())))
    flags |= Qt::ItemNeverHasChildren;
  return flags;
}

QVariant TreeListModel::data(const QModelIndex &index, int role) const {
  if (!index.isValid())
    return {};
  const auto id = NodeID(index.internalId());
  const DiskTreeArena::Record &record = arena_->record(id);
  const std::int64_t parentSize = arena_->record(record.parentID).allocatedSize;
  const double share = parentSize > 0 ? double(record.allocatedSize) / double(parentSize) : 0.0;
  switch (role) {
  case Qt::DisplayRole:
    return index.column() == shareColumn ? QVariant(TreemapPalette::formatPercentage(share))
                                         : displayText(id, index.column());
  case Qt::DecorationRole:
    if (index.column() != nameColumn)
      return QVariant();
    if (iconTone_ != WidgetStyle::currentTone())
      tintIcons();
    return record.isDirectory ? folderIcon_ : fileIcon_;
  case Qt::ToolTipRole:
    return index.column() == nameColumn ? WidgetStyle::displayText(arena_->path(id)) : QVariant();
  case Qt::TextAlignmentRole:
    return index.column() == nameColumn ? QVariant(Qt::AlignLeft | Qt::AlignVCenter)
                                        : QVariant(Qt::AlignRight | Qt::AlignVCenter);
  case nodeIDRole:
    return id;
  case shareRole:
    return share;
  default:
    return {};
  }
}

QVariant TreeListModel::displayText(NodeID id, int column) const {
  const DiskTreeArena::Record &record = arena_->record(id);
  switch (column) {
  case nameColumn:
    return WidgetStyle::displayText(arena_->name(id));
  case sizeColumn:
    return TreemapPalette::formatBytes(record.allocatedSize);
  case filesColumn: // a file counts itself: shown for folders only
    return record.isDirectory ? QLocale().toString(qint64(record.fileCount)) : QString();
  case modifiedColumn:
    // The day is what tells old from new here; the tooltip of a row is its path.
    return record.modificationTimestamp > 0
               ? QLocale().toString(QDateTime::fromSecsSinceEpoch(qint64(record.modificationTimestamp)).date(),
                                    QLocale::ShortFormat)
               : QString();
  default:
    return {};
  }
}

QVariant TreeListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal)
    return {};
  if (role == Qt::InitialSortOrderRole) // a header's first click: names A to Z, numbers largest first
    return section == nameColumn ? Qt::AscendingOrder : Qt::DescendingOrder;
  if (role == Qt::TextAlignmentRole)
    return section == nameColumn ? QVariant(Qt::AlignLeft | Qt::AlignVCenter) : QVariant(Qt::AlignRight | Qt::AlignVCenter);
  if (role != Qt::DisplayRole)
    return {};
  switch (section) {
  case nameColumn: return tr("Name");
  case sizeColumn: return tr("Size");
  case shareColumn: return tr("% of Parent");
  case filesColumn: return tr("Files");
  case modifiedColumn: return tr("Modified");
  default: return {};
  }
}

} // namespace tarnwick
