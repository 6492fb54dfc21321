#include "TarnwickUI/NodeContextMenu.h"

#include "TarnwickUI/FileManagerReveal.h"
#include "TarnwickUI/SymbolIcons.h"
#include "TarnwickUI/WidgetStyle.h"

#include <QCoreApplication>
#include <QMenu>

namespace tarnwick {
namespace {

struct Texts {
  Q_DECLARE_TR_FUNCTIONS(tarnwick::NodeContextMenu)
};

void refuseIfNeeded(QAction *action, const std::optional<QString> &reason) {
  if (reason) {
    action->setEnabled(false);
    action->setToolTip(*reason);
  }
}

} // namespace

QMenu *NodeContextMenu::build(const DiskNode &node, const Actions &actions, QWidget *parent) const {
  auto *menu = new QMenu(parent);
  if (node.isDirectory && actions.drillDown)
    menu->addAction(SymbolIcons::icon("arrow.down.forward.and.arrow.up.backward"), Texts::tr("Drill Down"), menu,
                    actions.drillDown);
  const std::optional<QString> &trashReason = cleaningRefusal ? cleaningRefusal : trashRefusal;
  menu->setToolTipsVisible(trashReason.has_value());
  if (node.isDirectory && actions.rescan)
    refuseIfNeeded(menu->addAction(SymbolIcons::icon("arrow.clockwise"), Texts::tr("Rescan This Folder"), menu,
                                   actions.rescan),
                   cleaningRefusal);
#ifdef __APPLE__
  const QString revealTitle = Texts::tr("Reveal in Finder");
#else
  const QString revealTitle = Texts::tr("Reveal in File Manager");
#endif
  // A tree from another computer names no folder here to show.
  if (actions.reveal)
    refuseIfNeeded(menu->addAction(SymbolIcons::icon("folder"), revealTitle, menu, actions.reveal), cleaningRefusal);
  menu->addSeparator();
  // Destructive: drawn in red, as the platform's menus cannot colour one entry's text.
  if (actions.moveToTrash)
    refuseIfNeeded(
        menu->addAction(QIcon(SymbolIcons::tinted("trash", 16, WidgetStyle::destructiveRed(), menu->devicePixelRatioF())),
                        Texts::tr("Move to Trash"), menu, actions.moveToTrash),
        trashReason);
  menu->addAction(SymbolIcons::icon("doc.on.doc"), Texts::tr("Copy File Path"), menu,
                  [path = node.path] { FileManagerReveal::copyPath(path); });
  return menu;
}

} // namespace tarnwick
