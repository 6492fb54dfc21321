#include "TarnwickApp/Windows/CleaningReportMessage.h"

#include "TarnwickCore/Support/PathJoin.h"
#include "TarnwickUI/TreemapPalette.h"
#include "TarnwickUI/WidgetStyle.h"

#include <algorithm>

namespace quillane {
namespace {

QString lastComponent(const std::string &path) {
  return tarnwick::WidgetStyle::displayText(tarnwick::lastPathComponent(path));
}

QString quoted(const QString &name) { return QStringLiteral("“") + name + QStringLiteral("”"); }

// Session files left inside cleaned browser folders, named so the user
// knows the folder is not empty on purpose.
QString keptNotice(const tarnwick::SafeCleaningReport &report) {
  QStringList names;
  for (const auto &[item, kept] : report.keptPaths)
    for (const std::string &path : kept)
      names.push_back(quoted(lastComponent(path)));
  if (names.isEmpty())
    return {};
  names.removeDuplicates();
  return QStringLiteral(" Kept %1 session file%2 in place: %3.")
      .arg(names.size())
      .arg(names.size() == 1 ? "" : "s")
      .arg(names.join(QStringLiteral(", ")));
}

} // namespace

CleaningReportMessage CleaningReportMessage::from(const tarnwick::SafeCleaningReport &report) {
  using tarnwick::TreemapPalette;
  const QString freed = TreemapPalette::formatBytes(report.freedBytes);
  const std::size_t moved = report.cleanedPaths.size();
  const std::size_t blocked = report.blockedProtectedPaths.size();
  const std::size_t failed = report.errors.size() - std::min(report.errors.size(), blocked);
  if (blocked == 0 && failed == 0) {
    if (moved == 1)
      return {QStringLiteral("Moved %1 to the Trash, freeing %2.").arg(quoted(lastComponent(report.cleanedPaths[0])), freed) +
                  keptNotice(report),
              true};
    return {QStringLiteral("Moved %1 items to the Trash, freeing %2.").arg(moved).arg(freed) + keptNotice(report), true};
  }

  // Something stayed: say why, starting with the guard's refusals.
  QString reason;
  if (blocked > 0) {
    const std::string &path = report.blockedProtectedPaths.front();
    auto error = report.errors.find(path);
    reason = QString::fromStdString(error != report.errors.end() ? error->second : "Deletion rejected.");
  } else {
    const auto &[path, error] = *report.errors.begin(); // no refusals: every entry is a failure
    reason = QStringLiteral("Could not move %1 to the Trash: %2").arg(quoted(lastComponent(path)), QString::fromStdString(error));
  }
  if (moved > 0)
    reason = QStringLiteral("Moved %1 of %2 items (%3). ").arg(moved).arg(moved + blocked + failed).arg(freed) + reason;
  return {reason + keptNotice(report), false};
}

} // namespace quillane
