#include "TarnwickApp/Windows/CleaningReportMessage.h"

#include "TarnwickCore/Support/PathJoin.h"
#include "TarnwickUI/TreemapPalette.h"
#include "TarnwickUI/WidgetStyle.h"

#include <algorithm>

#include <QCoreApplication>

namespace quillane {
namespace {

// The translation context of the texts this file shows outside a QObject.
struct Texts {
  Q_DECLARE_TR_FUNCTIONS(CleaningReportMessage)
};

using tarnwick::DeletionMode;
using tarnwick::ReclaimedSpace;

QString lastComponent(const std::string &path) {
  return tarnwick::WidgetStyle::displayText(tarnwick::lastPathComponent(path));
}

QString quoted(const QString &name) { return QStringLiteral("“") + name + QStringLiteral("”"); }

QString bytes(std::int64_t count) { return tarnwick::TreemapPalette::formatBytes(count); }

// "1 other link to it remains", "3 other links to it remain".
QString otherLinks(std::int64_t count, const QString &owner) {
  return Texts::tr("%Ln other link(s) to %1 remain(s)", nullptr, int(count))
      .arg(owner);
}

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
  return Texts::tr(" Kept %Ln session file(s) in place: %1.", nullptr,
                                     int(names.size()))
      .arg(names.join(QStringLiteral(", ")));
}

bool intoTrash(const ReclaimedSpace &space) { return space.mode == DeletionMode::moveToTrash; }

// What went, in one sentence: "Moved “x” to the Trash. 1 MB is freed when the
// Trash is emptied." or "Removed 3 items, freeing 1 MB.", or that it frees
// nothing because of other links.
QString doneSentence(const tarnwick::SafeCleaningReport &report, const ReclaimedSpace &space) {
  const std::size_t moved = report.cleanedPaths.size();
  const QString what = moved == 1 ? quoted(lastComponent(report.cleanedPaths[0])) : Texts::tr("%Ln item(s)", nullptr, int(moved));
  const QString done = intoTrash(space) ? Texts::tr("Moved %1 to the Trash").arg(what) : Texts::tr("Removed %1").arg(what);
  if (space.linkedElsewhere.size() == moved) {
    if (moved == 1)
      return done + Texts::tr(", which frees no space: %1.").arg(otherLinks(space.linkedElsewhere.begin()->second, Texts::tr("it")));
    return done + Texts::tr(", which free no space: %1.").arg(otherLinks(space.remainingLinks, Texts::tr("them")));
  }
  QString sentence = intoTrash(space) ? done + Texts::tr(". %1 is freed when the Trash is emptied.").arg(bytes(space.bytes))
                                      : done + Texts::tr(", freeing %1.").arg(bytes(space.bytes));
  if (space.linkedElsewhere.size() == 1) {
    const auto &[path, links] = *space.linkedElsewhere.begin();
    sentence += Texts::tr(" %1 frees no space: %2.").arg(quoted(lastComponent(path)), otherLinks(links, Texts::tr("it")));
  } else if (!space.linkedElsewhere.empty()) {
    sentence += Texts::tr(" %1 of them free no space: other links to them remain.").arg(space.linkedElsewhere.size());
  } else if (space.remainingLinks > 0) {
    sentence += Texts::tr(" %1, so those files stay.").arg(otherLinks(space.remainingLinks, Texts::tr("some of its files")));
  }
  return sentence;
}

} // namespace

CleaningReportMessage CleaningReportMessage::from(const tarnwick::SafeCleaningReport &report,
                                                  const std::string &emptiedTrash, std::int64_t emptiedTrashBytes) {
  const auto trash = std::ranges::find(report.cleanedPaths, emptiedTrash);
  if (emptiedTrash.empty() || trash == report.cleanedPaths.end())
    return describe(report);
  tarnwick::SafeCleaningReport rest = report;
  rest.cleanedPaths.erase(rest.cleanedPaths.begin() + (trash - report.cleanedPaths.begin()));
  rest.freedBytes -= emptiedTrashBytes;
  const QString emptied = Texts::tr("Emptied the Trash, freeing %1.").arg(bytes(emptiedTrashBytes));
  if (rest.cleanedPaths.empty() && rest.errors.empty())
    return {emptied, true};
  CleaningReportMessage message = describe(rest);
  message.text = emptied + QLatin1Char(' ') + message.text;
  return message;
}

CleaningReportMessage CleaningReportMessage::describe(const tarnwick::SafeCleaningReport &report) {
  // A report nobody measured says what the items were recorded to hold.
  const ReclaimedSpace space = report.reclaimed.value_or(ReclaimedSpace{DeletionMode::moveToTrash, report.freedBytes, 0, {}});
  const std::size_t moved = report.cleanedPaths.size();
  const std::size_t blocked = report.blockedProtectedPaths.size();
  const std::size_t failed = report.errors.size() - std::min(report.errors.size(), blocked);
  if (blocked == 0 && failed == 0) {
    if (moved == 0) // cancelled before the first item, or every item covered by another
      return {intoTrash(space) ? Texts::tr("Nothing was moved to the Trash.") : Texts::tr("Nothing was removed."), true};
    return {doneSentence(report, space) + keptNotice(report), true};
  }

  // Something stayed: say why, starting with the guard's refusals.
  QString reason;
  if (blocked > 0) {
    const std::string &path = report.blockedProtectedPaths.front();
    auto error = report.errors.find(path);
    reason = error != report.errors.end() ? tarnwick::WidgetStyle::displayText(error->second)
                                          : Texts::tr("Deletion rejected.");
  } else {
    const auto &[path, error] = *report.errors.begin(); // no refusals: every entry is a failure
    reason = (intoTrash(space) ? Texts::tr("Could not move %1 to the Trash: %2") : Texts::tr("Could not remove %1: %2"))
                 .arg(quoted(lastComponent(path)), tarnwick::WidgetStyle::displayText(error));
  }
  if (moved > 0) {
    const QString freed = intoTrash(space) ? Texts::tr("%1 when the Trash is emptied").arg(bytes(space.bytes))
                                           : Texts::tr("freeing %1").arg(bytes(space.bytes));
    reason = (intoTrash(space) ? Texts::tr("Moved %1 of %2 items to the Trash (%3). ") : Texts::tr("Removed %1 of %2 items (%3). "))
                 .arg(moved)
                 .arg(moved + blocked + failed)
                 .arg(freed) +
             reason;
  }
  return {reason + keptNotice(report), false};
}

} // namespace quillane
