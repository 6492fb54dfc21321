#include "TarnwickApp/Commands/ScanReportJson.h"

#include "TarnwickApp/Commands/TextFormat.h"
#include "TarnwickCore/Support/ByteCountFormat.h"
#include "TarnwickCore/Tree/FileTypeUsage.h"
#include "TarnwickCore/Tree/LargestFiles.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <ctime>

namespace quillane {
namespace {

using tarnwick::DiskTreeArena;
using Json = nlohmann::ordered_json;

// Seconds since 1970 as an ISO 8601 UTC time ("2026-12-07T04:59:00Z").
std::string isoTime(double seconds) {
  const auto whole = static_cast<std::time_t>(seconds);
  std::tm utc{};
  char text[32] = "";
  if (::gmtime_r(&whole, &utc))
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return text;
}

const char *reasonName(tarnwick::ScanReport::SkippedMount::Reason reason) {
  switch (reason) {
  case tarnwick::ScanReport::SkippedMount::Reason::otherFileSystem:
    return "other-file-system";
  case tarnwick::ScanReport::SkippedMount::Reason::remote:
    return "remote";
  case tarnwick::ScanReport::SkippedMount::Reason::image:
    return "image";
  }
  return "other-file-system";
}

Json summaryOf(const DiskTreeArena &arena) {
  const tarnwick::ScanReport &report = arena.scanReport();
  const DiskTreeArena::Record &root = arena.record(DiskTreeArena::rootID);
  Json mounts = Json::array();
  for (const auto &mount : report.skippedMounts)
    mounts.push_back({{"path", mount.path}, {"type", mount.fileSystemType}, {"reason", reasonName(mount.reason)}});
  Json unreadable = Json::array();
  for (const tarnwick::Failure &failure : report.unreadablePaths)
    unreadable.push_back({{"path", failure.path}, {"reason", failure.explanation()}});
  Json summary = {{"root", arena.rootPath()},
          {"bytes", root.allocatedSize},
          {"files", root.fileCount},
          {"directories", root.directoryCount},
          {"duration_seconds", report.durationSeconds},
          {"skipped_symlinks", report.skippedSymlinkCount},
          {"excluded", report.excludedCount},
          {"skipped_mount_count", report.skippedMountCount},
          {"skipped_mounts", mounts},
          {"unreadable_folder_count", report.unreadableFolderCount},
          {"unreadable_folders", unreadable}};
  // Only a scan stopped early has it: the entries the tree holds.
  if (report.stoppedAfterEntries)
    summary["stopped_after_entries"] = *report.stoppedAfterEntries;
  return summary;
}

} // namespace

bool writeScanReportJson(const DiskTreeArena &arena, std::size_t largest, std::FILE *out) {
  if (arena.nodeCount() == 0)
    return false;
  Json document = {{"schema", "quillane-scan-report"}, {"version", 1}};
  document["summary"] = summaryOf(arena);
  Json files = Json::array();
  for (tarnwick::NodeID id : tarnwick::largestFiles(arena, DiskTreeArena::rootID, largest)) {
    const DiskTreeArena::Record &r = arena.record(id);
    files.push_back(
        {{"path", arena.path(id)}, {"bytes", r.allocatedSize}, {"modified", isoTime(r.modificationTimestamp)}});
  }
  document["largest_files"] = std::move(files);
  Json types = Json::array();
  for (const tarnwick::FileTypeUsage &usage : tarnwick::fileTypeUsage(arena, DiskTreeArena::rootID))
    types.push_back({{"type", usage.type}, {"bytes", usage.allocatedSize}, {"files", usage.fileCount}});
  document["file_types"] = std::move(types);
  const std::string text = document.dump(2, ' ', false, Json::error_handler_t::replace) + '\n';
  return std::fwrite(text.data(), 1, text.size(), out) == text.size() && std::fflush(out) == 0;
}

void printLargestFiles(const DiskTreeArena &arena, std::size_t count) {
  const std::vector<tarnwick::NodeID> files = tarnwick::largestFiles(arena, DiskTreeArena::rootID, count);
  if (files.empty())
    return;
  std::printf("\nLargest files:\n");
  for (tarnwick::NodeID id : files)
    std::printf("  %12s  %s\n", tarnwick::formatByteCount(arena.record(id).allocatedSize).c_str(),
                printableText(arena.path(id)).c_str());
}

void printFileTypes(const DiskTreeArena &arena) {
  const std::vector<tarnwick::FileTypeUsage> types = tarnwick::fileTypeUsage(arena, DiskTreeArena::rootID);
  if (types.empty())
    return;
  const double total = static_cast<double>(arena.record(DiskTreeArena::rootID).allocatedSize);
  std::printf("\nFile types:\n");
  for (const tarnwick::FileTypeUsage &usage : types) {
    const double share = total > 0 ? 100.0 * static_cast<double>(usage.allocatedSize) / total : 0;
    std::printf("  %12s  %5.1f%%  %12s %-5s  %s\n", tarnwick::formatByteCount(usage.allocatedSize).c_str(), share,
                groupDigits(usage.fileCount).c_str(), usage.fileCount == 1 ? "file" : "files",
                usage.type.empty() ? "(no type)" : ("." + printableText(usage.type)).c_str());
  }
}

} // namespace quillane
