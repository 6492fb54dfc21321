#include "TarnwickApp/CleanupCommands.h"

#include "TarnwickApp/ArgumentCursor.h"
#include "TarnwickApp/TextFormat.h"
#include "TarnwickApp/UserPaths.h"
#include "TarnwickCore/ByteCountFormat.h"
#include "TarnwickCore/FastBulkScanner.h"
#include "TarnwickCore/FullDiskAccessCoordinator.h"
#include "TarnwickCore/PathJoin.h"
#include "TarnwickCore/SafeCleaningEngine.h"

#include <algorithm>
#include <cstdio>
#include <sys/stat.h>

namespace quillane {
namespace {

using namespace tarnwick;

// What deleting `path` frees: a file's blocks, a folder's scanned total, 0
// for anything else (links included: removing one frees nothing to speak of).
std::int64_t reclaimableBytes(const std::string &path) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0)
    return 0;
  if (S_ISREG(st.st_mode))
    return static_cast<std::int64_t>(st.st_blocks) * 512;
  if (S_ISDIR(st.st_mode))
    return FastBulkScanner().scan(path).rootNode()->allocatedSize;
  return 0;
}

} // namespace

int runTrashCommand(std::span<char *const> arguments) {
  bool permanent = false;
  std::vector<CleanableItem> items;
  ArgumentCursor cursor(arguments);
  while (cursor.next()) {
    if (cursor.current() == "--permanent" && !cursor.hasInlineValue()) {
      permanent = true;
    } else if (cursor.isOption()) {
      std::fprintf(stderr, "quillane: unknown option %s\n", std::string(cursor.current()).c_str());
      return 2;
    } else {
      // The user named this path, so it counts as confirmed, like a node
      // chosen in the explorer.
      std::string path(cursor.current());
      items.push_back({Uuid::random(), std::string(lastPathComponent(path)), "", path, reclaimableBytes(path),
                       CleanableCategory::userCache, true, false, std::nullopt, {}});
    }
  }
  if (items.empty()) {
    std::fprintf(stderr, "quillane: trash needs at least one PATH\n\nUsage: quillane trash [--permanent] PATH...\n");
    return 2;
  }
  SafeCleaningEngine engine(homeDirectory(),
                            std::make_shared<SystemCleaningFileSystem>(FreedesktopTrash::forCurrentUser()));
  const SafeCleaningReport report =
      engine.clean(items, permanent ? DeletionMode::permanentDelete : DeletionMode::moveToTrash, true);
  for (const CleanableItem &item : items) {
    const std::string shown = printableText(item.path);
    auto error = report.errors.find(item.path);
    if (error == report.errors.end())
      std::printf("%-8s %s\n", permanent ? "removed" : "trashed", shown.c_str());
    else
      std::printf("%-8s %s: %s\n",
                  std::find(report.blockedProtectedPaths.begin(), report.blockedProtectedPaths.end(), item.path) !=
                          report.blockedProtectedPaths.end()
                      ? "blocked"
                      : "failed",
                  shown.c_str(), printableText(error->second).c_str());
  }
  std::printf("\n%zu of %zu cleaned, %s freed, in %.3f s\n", report.cleanedPaths.size(), items.size(),
              formatByteCount(report.freedBytes).c_str(), report.durationSeconds);
  return report.cleanedPaths.size() == items.size() ? 0 : 1;
}

int runAccessCommand(std::span<char *const> arguments) {
  if (!arguments.empty()) {
    std::fprintf(stderr, "quillane: access takes no arguments\n");
    return 2;
  }
  const auto &coordinator = FullDiskAccessCoordinator::shared();
  std::printf("Protected locations: %s\n", std::string(rawValue(coordinator.checkStatus())).c_str());
  std::printf("(Linux has no separate permission for them: the probes decide by plain readability.)\n\n");
  for (const FDAPathCategory &row : FullDiskAccessCoordinator::transparencyCategories()) {
    std::printf("%s\n  %s\n", row.title.c_str(), row.purpose.c_str());
    for (const std::string &sample : row.samplePaths)
      std::printf("    %s\n", sample.c_str());
  }
  return 0;
}

} // namespace quillane
