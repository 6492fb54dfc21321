#pragma once

#include "TarnwickCore/Catalogue/CleanableCategory.h"
#include "TarnwickCore/Tree/DiskTreeArena.h"
#include "TarnwickUI/ChangeColouring.h"
#include "TarnwickUI/NestedSceneLoader.h"

#include <QWidget>

#include <cstdint>
#include <memory>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QLabel;
class QSplitter;
class QStackedWidget;

namespace tarnwick {

class DashboardActionBar;
class DashboardSidebar;
class TreemapBreadcrumbBar;
class TreemapCanvasView;
class TreeListView;

/// The explorer: the sidebar (storage summary and category filter) beside a
/// column of the breadcrumb bar, the treemap of the folder on screen (with
/// the tree list of the same folder beside it when shown) and the action
/// bar. The list follows the folder and selection, and sets them. It owns the navigation state (folder on screen, selected
/// tile, category filter) and turns user actions into signals; it never
/// deletes or rescans by itself. The arena is shared read-only.
///
/// Threads: GUI thread only. The treemap is laid out again on every folder
/// change, filter change, resize and new arena: at once for a small folder,
/// on a thread of its own for a large nested one (see
/// setBackgroundLayoutThreshold), which the canvas shows as pending.
class SizeloomDashboardView : public QWidget {
  Q_OBJECT

public:
  /// Starts at `initialNodeID`, or at the root when absent.
  explicit SizeloomDashboardView(std::shared_ptr<const DiskTreeArena> arena, std::optional<NodeID> initialNodeID = {},
                                 QWidget *parent = nullptr);

  /// A new scan of the tree: keeps the folder on screen when the new tree
  /// has a folder at the same path, else goes to its root; clears the
  /// selection and keeps the filter.
  void setArena(std::shared_ptr<const DiskTreeArena> arena);
  const std::shared_ptr<const DiskTreeArena> &arena() const { return arena_; }

  NodeID currentNodeID() const { return currentNodeID_; }
  std::optional<NodeID> selectedNodeID() const { return selectedNodeID_; }
  std::optional<CleanableCategory> selectedCategory() const { return selectedCategory_; }

  /// Shows folder `id` and clears the selection.
  void navigateTo(NodeID id);
  /// From an opened tail to its whole folder, else to the parent of the
  /// folder on screen; nothing at the root.
  void goBack();
  /// Selects the node, or deselects it when it is already selected.
  void toggleSelection(const DiskNode &node);
  /// Selects the node (any node of the tree), or nothing.
  void setSelectedNodeID(std::optional<NodeID> id);
  /// Nested contents (on at first): folder tiles show their own contents,
  /// level by level; off, the treemap shows one level.
  void setNestedContents(bool nested);
  bool isNestedContents() const { return nestedContents_; }
  /// The items of the folder on show that fold into the tail of `folder`
  /// (the folder on show or one below it): those of its children not in
  /// `tiledSiblings`. Shows them alone, in place of the folder on show's
  /// children; any navigation ends it.
  void openTail(NodeID folder, const std::vector<NodeID> &tiledSiblings);
  /// The items shown in place of the folder's children, while a tail is open.
  const std::optional<std::vector<NodeID>> &shownItems() const { return shownItems_; }
  /// Shows or hides the tree list beside the treemap (hidden at first).
  void setListVisible(bool shown);
  bool isListVisible() const;
  void setSelectedCategory(std::optional<CleanableCategory> category);
  /// Why the tree on show may be neither cleaned nor rescanned (it is not
  /// this computer's), or nothing. The one switch for every way the explorer
  /// offers either: the action bar's buttons, the treemap's menu and Delete
  /// key, the breadcrumb bar's rescan button; each shows `reason` where it
  /// is refused, and this view drops any such request meanwhile.
  void setCleaningRefusal(std::optional<QString> reason);
  const std::optional<QString> &cleaningRefusal() const { return cleaningRefusal_; }
  /// Why a path would be refused if moved to the Trash now, or nothing.
  using TrashRefusalCheck = std::function<std::optional<QString>(const std::string &path)>;
  /// Asked, on the GUI thread, for the selected item and for the treemap
  /// menu's item: "Move to Trash" is greyed out there with the reason as its
  /// tooltip, rather than refused after it is chosen. Without one (the
  /// default), only the cleaning refusal greys it out.
  void setTrashRefusalCheck(TrashRefusalCheck check);

  /// Colours the treemap by change (inactive: by category) while the tree
  /// on show is the comparison's newer one; kept across navigation and
  /// ignored for any other tree.
  void setChangeColouring(ChangeColouring changes);
  const ChangeColouring &changeColouring() const { return changes_; }

  TreemapCanvasView *canvas() const { return canvas_; }
  TreemapBreadcrumbBar *breadcrumbBar() const { return breadcrumbBar_; }
  DashboardSidebar *sidebar() const { return sidebar_; }
  DashboardActionBar *actionBar() const { return actionBar_; }
  TreeListView *treeList() const { return treeList_; }
  bool isShowingEmptyMessage() const;
  /// Nested views of folders holding more than `entries` files and folders
  /// are laid out and painted off the GUI thread.
  void setBackgroundLayoutThreshold(std::uint32_t entries) { backgroundLayoutEntries_ = entries; }

signals:
  /// "Smart Clean Category": the filter's category, or none ("All Files")
  /// without a filter.
  void cleanCategory(std::optional<tarnwick::CleanableCategory> category);
  void moveToTrash(const tarnwick::DiskNode &node);
  /// The folder on show (the breadcrumb bar's rescan button) or a folder
  /// tile's "Rescan This Folder": its path, byte for byte.
  void rescanFolder(const std::string &path);

protected:
  bool eventFilter(QObject *watched, QEvent *event) override;

private:
  QWidget *makeMainColumn();
  QWidget *makeEmptyMessage();
  void relayout();
  /// The change colouring, when it describes the tree on show.
  ChangeColouring shownChanges() const;
  /// Lays out the nested view here, or asks the loader to.
  void layOutNested(CanvasSize canvasSize);
  void showScene(PaintedNestedScene painted);
  /// The children laid out at the first level: the opened tail's items or
  /// every child, less those the category filter leaves out; nothing when
  /// that is all of the folder's children (a folder may hold 100,000).
  std::optional<std::vector<NodeID>> firstLevel() const;
  std::vector<NodeID> childIDs(NodeID folder) const;
  void refreshChrome();
  /// Brings the list to the folder and selection on show, when it is shown.
  void refreshList();
  void navigate(NodeID id, bool animate);
  /// Shows the node in the file manager; says what failed when nothing could.
  void reveal(const DiskNode &node);

  std::shared_ptr<const DiskTreeArena> arena_;
  NodeID currentNodeID_ = 0;
  std::optional<NodeID> selectedNodeID_;
  std::optional<CleanableCategory> selectedCategory_;
  std::optional<QString> cleaningRefusal_;
  TrashRefusalCheck trashRefusalCheck_;
  // The selection last checked, and its answer: refreshes that keep the
  // selection do not ask again.
  std::optional<std::pair<std::string, std::optional<QString>>> selectionRefusal_;
  ChangeColouring changes_;
  bool nestedContents_ = true;
  std::optional<std::vector<NodeID>> shownItems_;
  /// What the last layout put at its first level (see firstLevel).
  std::optional<std::vector<NodeID>> laidOutFirstLevel_;

  QSplitter *splitter_;
  DashboardSidebar *sidebar_;
  TreemapBreadcrumbBar *breadcrumbBar_;
  QSplitter *contentSplitter_; // the treemap and the list
  QStackedWidget *container_;
  TreeListView *treeList_;
  TreemapCanvasView *canvas_;
  QWidget *emptyMessage_;
  DashboardActionBar *actionBar_;
  // Small enough that the layout and paint stay within one frame.
  std::uint32_t backgroundLayoutEntries_ = 2'000;
  NestedSceneLoader sceneLoader_; // last: its thread is joined before the widgets go
};

} // namespace tarnwick
