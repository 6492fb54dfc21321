#pragma once

#include "TarnwickCore/Tree/DiskTreeArena.h"

#include <QTreeView>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QMenu;

namespace tarnwick {

class TreeListModel;

/// The tree list beside the treemap: the folder on show as a sortable tree
/// (TreeListModel), its "% of parent" column drawn with bars. Its owner
/// tells it what to show (showFolder) and hears what the user picks:
/// selecting a row, entering a folder by double-click or Enter, and the
/// actions of a row's context menu, which are the treemap's.
///
/// A new arena for the same folder path keeps the folders that were
/// expanded and still exist, found again by their names.
///
/// Threads: GUI thread only.
class TreeListView : public QTreeView {
  Q_OBJECT

public:
  explicit TreeListView(QWidget *parent = nullptr);

  TreeListModel *listModel() const { return model_; }

  /// Lists the children of `folder` of `arena` and selects `selected`
  /// (expanding its parents when it lies deeper); cheap when only the
  /// selection changed. Emits nothing.
  void showFolder(std::shared_ptr<const DiskTreeArena> arena, NodeID folder, std::optional<NodeID> selected);
  /// The node of the selected row.
  std::optional<NodeID> selectedNodeID() const;
  /// The context menu of the item at `row`, owned by `parent`.
  QMenu *contextMenuFor(const QModelIndex &row, QWidget *parent);
  /// Why rescanning and trashing are refused in this whole tree: the menu
  /// shows those items disabled with the reason. Nothing offers them.
  void setCleaningRefusal(std::optional<QString> reason) { cleaningRefusal_ = std::move(reason); }
  /// Asked as a menu opens: a reason greys out "Move to Trash" alone.
  void setTrashRefusalCheck(std::function<std::optional<QString>(const std::string &path)> check) {
    trashRefusalCheck_ = std::move(check);
  }

signals:
  /// The user selected a row (or cleared the selection).
  void nodeSelected(std::optional<tarnwick::NodeID> id);
  /// The user asked to enter a folder (double-click or Enter).
  void enterFolder(tarnwick::NodeID id);
  /// The user asked to move the current row's item to the Trash (Delete), as
  /// on the treemap; the guard decides.
  void moveToTrash(const tarnwick::DiskNode &node);
  /// From the context menu: rescan the folder, or show the item in a file manager.
  void rescanFolder(const tarnwick::DiskNode &node);
  void revealInFileManager(const tarnwick::DiskNode &node);

protected:
  void keyPressEvent(QKeyEvent *event) override;
  void contextMenuEvent(QContextMenuEvent *event) override;

private:
  using NameChain = std::vector<std::string>;
  /// The expanded folders, each as the names leading to it from the folder
  /// on show, parents before children.
  std::vector<NameChain> expandedChains() const;
  void expandChains(const std::vector<NameChain> &chains);
  void select(std::optional<NodeID> id);
  void enterIfFolder(const QModelIndex &index);

  TreeListModel *model_;
  bool isSyncing_ = false; // changes made by showFolder are not the user's
  std::optional<QString> cleaningRefusal_;
  std::function<std::optional<QString>(const std::string &path)> trashRefusalCheck_;
};

} // namespace tarnwick
