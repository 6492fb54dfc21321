// The explorer's moves to the Trash, their undo, and the tree that follows
// them: the part of the coordinator that changes the disk.
#include "TarnwickUI/TarnwickAppCoordinator.h"

#include "TarnwickCore/Deletion/MeasuredCleaning.h"
#include "TarnwickCore/Deletion/TrashCatalogue.h"
#include "TarnwickCore/Support/PathJoin.h"
#include "TarnwickCore/Tree/ArenaEdit.h"
#include "TarnwickCore/Tree/ScannedEntryCheck.h"
#include "TarnwickUI/WidgetStyle.h"

#include <algorithm>

namespace tarnwick {

std::optional<QString> TarnwickAppCoordinator::trashRefusal(const std::string &path) const {
  if (cleaningRefusal_)
    return cleaningRefusal_;
  const std::optional<std::string> refusal = engine_->refusalOf(path, true);
  return refusal ? std::optional(WidgetStyle::displayText(*refusal)) : std::nullopt;
}

void TarnwickAppCoordinator::moveNodeToTrash(const DiskNode &node) {
  if (cleaningRefusal_)
    return; // the views offer no cleaning then; this is the last line
  CleanableItem item{Uuid::random(),
                     node.name,
                     "Direct Sizeloom Trash",
                     node.path,
                     node.allocatedSize,
                     node.categoryHint.value_or(CleanableCategory::largeAndOldFiles),
                     true,
                     false,
                     std::nullopt,
                     {}};
  const bool inTree = arena_ && arena_->isValid(node.id) && arena_->path(node.id) == node.path;
  workers_.launch([this, engine = engine_, item = std::move(item), tree = inTree ? arena_ : nullptr, node] {
    auto measure = [&](const CleanableItem &chosen) {
      return tree ? tree->removalMeasurement(node.id) : CacheMeasurement{chosen.sizeBytes, {}};
    };
    // The view shows the scan; what lies at the path now may be another
    // file, which the user never chose, or the tree's sizes are wrong for it.
    SafeCleaningReport report;
    if (std::optional<std::string> changed = changeSinceScan(node))
      report.errors.emplace(item.path, std::move(*changed));
    else
      report = cleanMeasuringSpace(*engine, {item}, DeletionMode::moveToTrash, true, measure);
    workers_.post([this, report = std::move(report)] {
      lastCleaningReport_ = report;
      lastMoveUndoable_ = report.cleanedPaths.size() == 1;
      forgetPaths(report.cleanedPaths);
      emit lastCleaningReportChanged();
    });
  });
}

void TarnwickAppCoordinator::forgetPaths(const std::vector<std::string> &paths) {
  // What was cleaned here is not in another computer's tree, whatever its paths.
  if (!arena_ || paths.empty() || cleaningRefusal_)
    return;
  std::optional<CategoryShares> before;
  if (sharesOf_ == arena_)
    before = categoryShares_;
  workers_.launch([this, tree = arena_, before, paths] {
    std::vector<NodeID> gone;
    for (const std::string &path : paths)
      if (std::optional<NodeID> id = findNodeByPath(*tree, path))
        gone.push_back(*id);
    if (gone.empty())
      return;
    auto edited = std::make_shared<const DiskTreeArena>(withoutSubtrees(*tree, gone));
    workers_.post([this, tree, paths, edited] {
      if (arena_ != tree) {
        forgetPaths(paths); // another tree came meanwhile: take the paths out of that one
        return;
      }
      arena_ = edited;
      emit arenaChanged();
      rememberTree(false);
    });
    // The gauge follows the tree: walking what went (or, when the shares
    // of `tree` were still on their way, all that stays) can take longer
    // than deriving the tree.
    std::optional<CategoryShares> shares =
        before ? std::optional(before->withoutSubtrees(*tree, gone)) : CategoryShares::measure(*edited);
    workers_.post([this, edited, shares] {
      if (arena_ != edited || !shares)
        return; // the tree was replaced: its successor brings its shares
      categoryShares_ = *shares;
      sharesOf_ = edited;
      emit categorySharesChanged();
    });
  });
}

void TarnwickAppCoordinator::setTrashCatalogue(std::shared_ptr<const TrashCatalogue> trash) {
  trash_ = std::move(trash);
}

bool TarnwickAppCoordinator::canUndoLastMove() const { return trash_ && lastMoveUndoable_; }

void TarnwickAppCoordinator::showRestored(const std::vector<std::string> &paths) {
  if (!arena_ || paths.empty())
    return;
  // The folders holding the first path, deepest first, until one holds
  // every path and is in the tree.
  std::string folder = paths.front();
  auto holdsAll = [&paths](const std::string &candidate) {
    return std::ranges::all_of(paths, [&candidate](const std::string &path) {
      return candidate == "/" || path.starts_with(candidate + "/");
    });
  };
  do {
    const std::size_t slash = folder.rfind('/');
    if (slash == std::string::npos)
      return;
    folder = slash == 0 ? std::string("/") : folder.substr(0, slash);
  } while (folder != "/" && (!holdsAll(folder) || !findNodeByPath(*arena_, folder)));
  rescanFolder(folder);
}

void TarnwickAppCoordinator::undoLastMove() {
  if (!canUndoLastMove())
    return;
  lastMoveUndoable_ = false;
  const std::string path = lastCleaningReport_->cleanedPaths.front();
  workers_.launch([this, trash = trash_, path] {
    // The item trashed last from that path: the move being undone, unless
    // something trashed from the same path since took its place.
    const std::optional<TrashedItem> item = TrashCatalogue::latestWithOriginalPath(trash->list(), path);
    Result<std::string> restored =
        item ? trash->restore(*item) : Result<std::string>(Failure::because("it is no longer in the Trash"));
    workers_.post([this, path, restored = std::move(restored)] {
      const QString name = WidgetStyle::displayText(lastPathComponent(path));
      if (!restored) {
        emit undoFinished(tr("Could not restore “%1”: %2").arg(name, WidgetStyle::displayText(restored.failure().reason)),
                          false);
        return;
      }
      const std::size_t slash = path.rfind('/');
      rescanFolder(slash == 0 ? std::string("/") : path.substr(0, slash)); // shows it again
      emit undoFinished(tr("Restored “%1”.").arg(name), true);
    });
  });
}

} // namespace tarnwick
