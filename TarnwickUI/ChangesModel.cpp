#include "TarnwickUI/ChangesModel.h"

#include "TarnwickUI/TreemapPalette.h"
#include "TarnwickUI/WidgetStyle.h"

#include <algorithm>

namespace tarnwick {

ChangesModel::ChangesModel(QObject *parent) : QAbstractTableModel(parent) {}

void ChangesModel::setChanges(std::vector<SizeChange> changes) {
  beginResetModel();
  changes_ = std::move(changes);
  endResetModel();
}

int ChangesModel::rowCount(const QModelIndex &parent) const {
  return parent.isValid() ? 0 : static_cast<int>(changes_.size());
}

int ChangesModel::columnCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : columnCount_; }

QString ChangesModel::signedBytes(std::int64_t bytes) {
  if (bytes == 0)
    return TreemapPalette::formatBytes(0);
  // U+2212, the minus sign, lines up with the plus in proportional fonts.
  return (bytes > 0 ? QStringLiteral("+") : QStringLiteral("\u2212")) +
         TreemapPalette::formatBytes(bytes > 0 ? bytes : -bytes);
}

QString ChangesModel::displayText(const SizeChange &change, int column) const {
  switch (column) {
  case pathColumn:
    return WidgetStyle::displayText(change.path) + (change.isDirectory ? QStringLiteral("/") : QString());
  case beforeColumn:
    return change.before ? TreemapPalette::formatBytes(*change.before) : tr("new");
  case afterColumn:
    return change.after ? TreemapPalette::formatBytes(*change.after) : tr("gone");
  default:
    return signedBytes(change.difference());
  }
}

QVariant ChangesModel::sortKey(const SizeChange &change, int column) const {
  switch (column) {
  case pathColumn:
    return QString::fromStdString(change.path);
  case beforeColumn:
    return qint64(change.before.value_or(-1));
  case afterColumn:
    return qint64(change.after.value_or(-1));
  default:
    return qint64(change.difference());
  }
}

QVariant ChangesModel::data(const QModelIndex &index, int role) const {
  if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount_)
    return {};
  const SizeChange &change = changes_[static_cast<std::size_t>(index.row())];
  if (role == Qt::DisplayRole)
    return displayText(change, index.column());
  if (role == sortRole)
    return sortKey(change, index.column());
  if (role == Qt::ToolTipRole && index.column() == pathColumn)
    return displayText(change, pathColumn);
  if (role == Qt::TextAlignmentRole && index.column() != pathColumn)
    return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
  return {};
}

QVariant ChangesModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
    return QAbstractTableModel::headerData(section, orientation, role);
  switch (section) {
  case pathColumn:
    return tr("Path");
  case beforeColumn:
    return tr("Before");
  case afterColumn:
    return tr("After");
  case differenceColumn:
    return tr("Difference");
  default:
    return {};
  }
}

void ChangesModel::sort(int column, Qt::SortOrder sortOrder) {
  if (column < 0 || column >= columnCount_)
    return;
  emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
  const auto less = [&](std::size_t a, std::size_t b) {
    if (column == pathColumn)
      return changes_[a].path < changes_[b].path; // bytes: the order on disk, whatever the locale
    return sortKey(changes_[a], column).toLongLong() < sortKey(changes_[b], column).toLongLong();
  };
  std::vector<std::size_t> order(changes_.size()); // new row -> old row
  for (std::size_t row = 0; row < order.size(); ++row)
    order[row] = row;
  if (sortOrder == Qt::AscendingOrder)
    std::stable_sort(order.begin(), order.end(), less);
  else
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return less(b, a); });
  std::vector<SizeChange> sorted;
  sorted.reserve(changes_.size());
  std::vector<int> newRowOf(changes_.size());
  for (std::size_t row = 0; row < order.size(); ++row) {
    sorted.push_back(std::move(changes_[order[row]]));
    newRowOf[order[row]] = static_cast<int>(row);
  }
  changes_ = std::move(sorted);
  // The selection and current row follow their entries.
  const QModelIndexList before = persistentIndexList();
  QModelIndexList after;
  for (const QModelIndex &old : before)
    after.push_back(index(newRowOf[static_cast<std::size_t>(old.row())], old.column()));
  changePersistentIndexList(before, after);
  emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

} // namespace tarnwick
