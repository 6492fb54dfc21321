#pragma once

#include "TarnwickCore/Tree/DiskNode.h"

#include <QString>

#include <functional>
#include <optional>

class QMenu;
class QWidget;

namespace tarnwick {

/// The context menu of one item of the tree, the same wherever the item is
/// shown (treemap tile, list row): Drill Down and Rescan This Folder for a
/// folder, Reveal in File Manager, Move to Trash, Copy File Path.
///
/// A refused action stays in the menu, disabled, with its reason as tooltip,
/// so that the user can read why.
///
/// Threads: GUI thread only.
struct NodeContextMenu {
  /// What the menu's actions do; each is called on the GUI thread, at most
  /// once per opening. Empty callbacks leave their action out.
  struct Actions {
    std::function<void()> drillDown;
    std::function<void()> rescan;
    std::function<void()> reveal;
    std::function<void()> moveToTrash;
  };
  /// Why rescanning and trashing are refused anywhere in this tree.
  std::optional<QString> cleaningRefusal;
  /// Why moving `node` alone to the Trash is refused.
  std::optional<QString> trashRefusal;

  /// A new menu for `node`, owned by `parent`.
  QMenu *build(const DiskNode &node, const Actions &actions, QWidget *parent) const;
};

} // namespace tarnwick
