#pragma once

#include "TarnwickCore/Deletion/SafeCleaningTypes.h"

#include <QString>

namespace quillane {

/// What a move to the Trash did, in one short sentence for the window:
/// the freed size, or why the item stayed (the guard's reason, or the
/// failure). A report of several items names how many went and what stopped
/// the first that did not.
struct CleaningReportMessage {
  QString text;
  bool succeeded = false; // every item went to the Trash

  static CleaningReportMessage from(const tarnwick::SafeCleaningReport &report);
};

} // namespace quillane
