#pragma once

#include "TarnwickCore/Tree/DiskNode.h"

#include <QAbstractTableModel>
#include <QString>

#include <cstdint>
#include <vector>

namespace tarnwick {

/// The results of a name search as a sortable table: Name, Folder, Size.
/// Rows are plain values made off the GUI thread (see NameSearchPanel);
/// the model only holds and orders them.
///
/// Threads: GUI thread only.
class NameSearchModel : public QAbstractTableModel {
  Q_OBJECT

public:
  struct Row {
    NodeID id = 0;
    QString name;
    /// The parent's path, as shown.
    QString folder;
    std::int64_t allocatedSize = 0;
    bool isDirectory = false;
  };
  enum Column { nameColumn, folderColumn, sizeColumn, columnTotal };
  /// Data role giving a row's node identifier.
  static constexpr int nodeRole = Qt::UserRole + 1;

  using QAbstractTableModel::QAbstractTableModel;

  /// Replaces every row, then orders them as last sorted.
  void setRows(std::vector<Row> rows);
  NodeID nodeAt(int row) const { return rows_[static_cast<std::size_t>(row)].id; }

  int rowCount(const QModelIndex &parent = {}) const override;
  int columnCount(const QModelIndex &parent = {}) const override;
  QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
  /// Stable, so rows that compare equal keep the search's order (shallow first).
  void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

private:
  void applySort();

  std::vector<Row> rows_;
  int sortColumn_ = -1;
  Qt::SortOrder sortOrder_ = Qt::AscendingOrder;
};

} // namespace tarnwick
