#include "TarnwickUI/NameSearchModel.h"

#include "TarnwickCore/Support/ByteCountFormat.h"

#include <algorithm>

namespace tarnwick {

void NameSearchModel::setRows(std::vector<Row> rows) {
  beginResetModel();
  rows_ = std::move(rows);
  applySort();
  endResetModel();
}

int NameSearchModel::rowCount(const QModelIndex &parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int NameSearchModel::columnCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : columnTotal; }

QVariant NameSearchModel::data(const QModelIndex &index, int role) const {
  if (!index.isValid() || index.row() >= rowCount())
    return {};
  const Row &row = rows_[static_cast<std::size_t>(index.row())];
  if (role == nodeRole)
    return row.id;
  if (role == Qt::TextAlignmentRole && index.column() == sizeColumn)
    return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
  if (role == Qt::ToolTipRole && index.column() != sizeColumn)
    return row.folder + u'/' + row.name;
  if (role != Qt::DisplayRole)
    return {};
  switch (index.column()) {
  case nameColumn:
    return row.isDirectory ? row.name + u'/' : row.name;
  case folderColumn:
    return row.folder;
  case sizeColumn:
    return QString::fromStdString(formatByteCount(row.allocatedSize));
  default:
    return {};
  }
}

QVariant NameSearchModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
    return {};
  switch (section) {
  case nameColumn:
    return tr("Name");
  case folderColumn:
    return tr("Folder");
  case sizeColumn:
    return tr("Size");
  default:
    return {};
  }
}

void NameSearchModel::sort(int column, Qt::SortOrder order) {
  sortColumn_ = column;
  sortOrder_ = order;
  emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
  applySort();
  emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void NameSearchModel::applySort() {
  if (sortColumn_ < 0 || sortColumn_ >= columnTotal)
    return;
  const auto key = [this](const Row &a, const Row &b) {
    switch (sortColumn_) {
    case nameColumn:
      return QString::compare(a.name, b.name, Qt::CaseInsensitive);
    case folderColumn:
      return QString::compare(a.folder, b.folder, Qt::CaseInsensitive);
    default:
      return a.allocatedSize < b.allocatedSize ? -1 : a.allocatedSize > b.allocatedSize ? 1 : 0;
    }
  };
  const bool ascending = sortOrder_ == Qt::AscendingOrder;
  std::ranges::stable_sort(rows_, [&](const Row &a, const Row &b) {
    const int order = key(a, b);
    return ascending ? order < 0 : order > 0;
  });
}

} // namespace tarnwick
