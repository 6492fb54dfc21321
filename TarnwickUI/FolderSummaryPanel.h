#pragma once

#include "TarnwickCore/Tree/DiskTreeArena.h"
#include "TarnwickUI/BackgroundWorkers.h"

#include <QWidget>

#include <cstdint>
#include <memory>

class QLabel;
class QStandardItemModel;
class QTreeView;

namespace tarnwick {

/// What a folder holds, summed up: its largest files (path, size,
/// modified) and its usage by file type (type, size, files, share), both
/// sortable. Choosing a file emits nodeChosen; choosing a type emits
/// fileTypeChosen, for the treemap to bring those files forward.
///
/// Both lists are computed on a worker whenever the tree or the folder
/// changes; a result that a newer request overtook is dropped.
///
/// Threads: GUI thread; the summaries run on its workers.
class FolderSummaryPanel : public QWidget {
  Q_OBJECT

public:
  static constexpr std::size_t largestShown = 100;

  explicit FolderSummaryPanel(QWidget *parent = nullptr);

  void setFolder(std::shared_ptr<const DiskTreeArena> arena, NodeID folder);
  QTreeView *largestFiles() const { return largest_; }
  QTreeView *fileTypes() const { return types_; }

signals:
  void nodeChosen(tarnwick::NodeID id);
  /// The type as fileTypeOf() names it ("" for files without one).
  void fileTypeChosen(const QString &type);
  /// Both lists show the latest folder.
  void summaryShown();

private:
  void summarize();

  std::shared_ptr<const DiskTreeArena> arena_;
  NodeID folder_ = DiskTreeArena::rootID;
  QLabel *title_;
  QTreeView *largest_;
  QTreeView *types_;
  QStandardItemModel *largestModel_;
  QStandardItemModel *typesModel_;
  std::uint64_t generation_ = 0;
  BackgroundWorkers workers_; // last: joined first
};

} // namespace tarnwick
