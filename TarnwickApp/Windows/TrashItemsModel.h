#pragma once

#include "TarnwickCore/Deletion/TrashedItem.h"

#include <QAbstractTableModel>

#include <vector>

namespace quillane {

/// The Trash view's table: one row per trashed item, in the order given,
/// with where it came from, when it was deleted and its size. Row N is
/// item N of the controller's list.
///
/// Threads: GUI thread only.
class TrashItemsModel : public QAbstractTableModel {
  Q_OBJECT

public:
  enum Column { originalPathColumn, deletedColumn, sizeColumn, numberOfColumns };

  using QAbstractTableModel::QAbstractTableModel;

  /// Replaces every row.
  void setItems(std::vector<tarnwick::TrashedItem> items);
  const std::vector<tarnwick::TrashedItem> &items() const { return items_; }

  int rowCount(const QModelIndex &parent = {}) const override;
  int columnCount(const QModelIndex &parent = {}) const override;
  QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
  std::vector<tarnwick::TrashedItem> items_;
};

} // namespace quillane
