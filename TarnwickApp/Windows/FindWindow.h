#pragma once

#include "TarnwickCore/Tree/DiskTreeArena.h"

#include <QWidget>

#include <memory>

class QTabWidget;

namespace tarnwick {
class FolderSummaryPanel;
class NameSearchPanel;
} // namespace tarnwick

namespace quillane {

/// A window beside the explorer with two tabs: "Find", a search by name
/// over the whole tree, and "Largest Files and Types" of the folder on
/// show. What the user chooses in either is passed on for the explorer to
/// show; the window never changes the tree.
///
/// Threads: GUI thread only.
class FindWindow : public QWidget {
  Q_OBJECT

public:
  explicit FindWindow(QWidget *parent = nullptr);

  /// The tree on show and its folder on show; the same again costs nothing.
  void setFolder(std::shared_ptr<const tarnwick::DiskTreeArena> arena, tarnwick::NodeID folder);
  /// Shows and raises the window on the search tab, its field focused.
  void openSearch();
  /// Shows and raises the window on the summary tab.
  void openSummary();

  /// The tree the window's choices name nodes of.
  const std::shared_ptr<const tarnwick::DiskTreeArena> &arena() const { return arena_; }
  tarnwick::NameSearchPanel *search() const { return search_; }
  tarnwick::FolderSummaryPanel *summary() const { return summary_; }

signals:
  void nodeChosen(tarnwick::NodeID id);
  void fileTypeChosen(const QString &type);
  /// Closed or hidden: what it brought forward should go back.
  void hidden();

protected:
  void hideEvent(QHideEvent *event) override;

private:
  void open(QWidget *tab);
  void refreshSummary();

  QTabWidget *tabs_;
  tarnwick::NameSearchPanel *search_;
  tarnwick::FolderSummaryPanel *summary_;
  std::shared_ptr<const tarnwick::DiskTreeArena> arena_;
  tarnwick::NodeID folder_ = tarnwick::DiskTreeArena::rootID;
  /// The summary shows another folder than folder_: it is computed when the
  /// window shows, not on every step through the tree while it is hidden.
  bool summaryStale_ = false;
};

} // namespace quillane
