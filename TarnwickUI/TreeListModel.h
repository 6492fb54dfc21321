#pragma once

#include "TarnwickCore/Tree/DiskTreeArena.h"
#include "TarnwickUI/WidgetStyle.h"

#include <QAbstractItemModel>
#include <QIcon>

#include <cstddef>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

namespace tarnwick {

/// The tree list's rows: the nodes below one folder of an arena (the "top
/// folder", whose children are the top-level rows), with the columns Name,
/// Size, % of parent, Files and Modified.
///
/// Lazy: a folder's rows exist once the view fetches them (fetchMore, on
/// expansion); only then are its children ordered, and re-ordered on sort()
/// only while fetched. A row's internal identifier is its NodeID, so an index
/// needs no storage of its own; each fetched folder keeps its children's
/// order and, for parent(), the row of each child.
///
/// Order: by the sort column, Size descending by default; equal keys keep
/// identifier order. Names compare case-insensitively by bytes (no locale:
/// a folder may hold a hundred thousand names).
///
/// Threads: GUI thread only. The arena is shared read-only.
class TreeListModel : public QAbstractItemModel {
  Q_OBJECT

public:
  enum Column { nameColumn, sizeColumn, shareColumn, filesColumn, modifiedColumn, columnTotal };
  enum Role {
    /// The row's NodeID (int).
    nodeIDRole = Qt::UserRole + 1,
    /// The share of the parent folder's size, 0 to 1 (double); the bar of
    /// the % column.
    shareRole,
  };

  explicit TreeListModel(QObject *parent = nullptr);

  /// Shows the children of `topFolder` of `arena` (either may be absent or
  /// invalid: no rows). Resets the model and forgets every fetched folder.
  void setTree(std::shared_ptr<const DiskTreeArena> arena, NodeID topFolder);
  const std::shared_ptr<const DiskTreeArena> &arena() const { return arena_; }
  NodeID topFolder() const { return topFolder_; }

  /// The row of `id`, fetching the folders from the top folder down to it;
  /// invalid when `id` is not below the top folder.
  QModelIndex indexOf(NodeID id, int column = nameColumn);
  /// The row's node; the top folder for an invalid index.
  NodeID nodeID(const QModelIndex &index) const;
  /// The child of `folder` named `name`, byte for byte.
  std::optional<NodeID> childNamed(NodeID folder, std::string_view name) const;
  /// The folders whose rows are fetched, the top folder included once fetched.
  std::vector<NodeID> fetchedFolders() const;
  int sortColumn() const { return sortColumn_; }
  Qt::SortOrder sortOrder() const { return sortOrder_; }

  QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
  QModelIndex parent(const QModelIndex &child) const override;
  int rowCount(const QModelIndex &parent = {}) const override;
  int columnCount(const QModelIndex &parent = {}) const override;
  bool hasChildren(const QModelIndex &parent = {}) const override;
  bool canFetchMore(const QModelIndex &parent) const override;
  void fetchMore(const QModelIndex &parent) override;
  QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex &index) const override;
  /// Orders every fetched folder again, keeping persistent indexes (the
  /// view's selection and expanded rows) on their nodes.
  void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

private:
  /// A fetched folder: its children in display order, and each child's row
  /// by its offset from the folder's firstChildID.
  struct Folder {
    std::vector<NodeID> order;
    std::vector<int> rowOf;
  };

  const Folder *folder(NodeID id) const;
  NodeID parentFolder(const QModelIndex &parent) const;
  bool isFolderWithChildren(NodeID id) const;
  void orderChildren(NodeID id, Folder &folder) const;
  QVariant displayText(NodeID id, int column) const;

  std::shared_ptr<const DiskTreeArena> arena_;
  NodeID topFolder_ = DiskTreeArena::rootID;
  std::unordered_map<NodeID, Folder> folders_;
  int sortColumn_ = sizeColumn;
  Qt::SortOrder sortOrder_ = Qt::DescendingOrder;
  /// The icons in the chrome's colours of now; data() calls it after a change.
  void tintIcons() const;

  // Cached: data() is asked for them on every paint of every row.
  mutable QIcon folderIcon_;
  mutable QIcon fileIcon_;
  mutable WidgetStyle::Tone iconTone_ = WidgetStyle::Tone::dark;
};

} // namespace tarnwick
