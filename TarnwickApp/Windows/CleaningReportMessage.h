#pragma once

#include "TarnwickCore/Deletion/SafeCleaningTypes.h"

#include <QString>

namespace quillane {

/// What a cleaning run did, in one short sentence for the window. Moved to
/// the Trash: what is freed once the Trash is emptied; removed: what was
/// freed; an item whose files keep other links frees nothing, and says how
/// many remain. When an item stayed: why (the guard's reason, or the
/// failure). A report of several items names how many went and what stopped
/// the first that did not. The sizes are the report's `reclaimed` ones, or
/// the items' recorded sizes when nobody measured them.
///
/// An emptied Trash is no item moved to the Trash: when `emptiedTrash` is
/// one of the cleaned paths, the message says first that the Trash was
/// emptied and what that freed (`emptiedTrashBytes`, which the report's
/// freedBytes includes and its measured `reclaimed` space does not), and
/// counts only the other items.
struct CleaningReportMessage {
  QString text;
  bool succeeded = false; // every item went

  static CleaningReportMessage from(const tarnwick::SafeCleaningReport &report, const std::string &emptiedTrash = {},
                                    std::int64_t emptiedTrashBytes = 0);

private:
  static CleaningReportMessage describe(const tarnwick::SafeCleaningReport &report);
};

} // namespace quillane
