#pragma once

#include "TarnwickCore/Diff/SizeChange.h"

#include <QAbstractTableModel>

#include <vector>

namespace tarnwick {

/// The changed entries of a comparison of two scans as a table: Path,
/// Before, After, Difference. Sizes read as the rest of the window writes
/// them; an entry only the newer scan has reads "new" before, one only the
/// older scan had reads "gone" after.
///
/// sortRole holds what a column sorts by: the path, or the bytes (an absent
/// side as -1, below every size). sort() orders the rows itself, stably, so
/// equal sizes keep the order they were given in; persistent indexes (a
/// view's selection) follow their entries.
///
/// Threads: GUI thread only.
class ChangesModel : public QAbstractTableModel {
  Q_OBJECT

public:
  enum Column { pathColumn, beforeColumn, afterColumn, differenceColumn, columnCount_ };
  static constexpr int sortRole = Qt::UserRole + 1;

  explicit ChangesModel(QObject *parent = nullptr);

  /// Replaces the rows, shown in the order given until sorted.
  void setChanges(std::vector<SizeChange> changes);
  const std::vector<SizeChange> &changes() const { return changes_; }

  int rowCount(const QModelIndex &parent = {}) const override;
  int columnCount(const QModelIndex &parent = {}) const override;
  QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
  void sort(int column, Qt::SortOrder sortOrder = Qt::AscendingOrder) override;

  /// "+4.7 MB", "−12 KB", "0 bytes".
  static QString signedBytes(std::int64_t bytes);

private:
  QVariant sortKey(const SizeChange &change, int column) const;
  QString displayText(const SizeChange &change, int column) const;

  std::vector<SizeChange> changes_;
};

} // namespace tarnwick
