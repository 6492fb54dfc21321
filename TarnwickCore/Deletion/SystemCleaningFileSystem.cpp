#include "TarnwickCore/Deletion/CleaningFileSystem.h"

#include "TarnwickCore/Deletion/KeptEntryCleaning.h"
#include "TarnwickCore/Deletion/PermanentRemoval.h"
#include "TarnwickCore/Deletion/RemovalQuarantine.h"
#include "TarnwickCore/Support/NoLinkPath.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string_view>
#include <vector>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace tarnwick {
namespace {

// The approved entry's folder, opened without following any link, after
// checking that the entry in it is still the approved file.
Result<ParentAndName> pinned(const ApprovedDeletion &item) {
  ParentAndName entry = openParentWithoutLinks(item.realPath);
  if (!entry.parent)
    return Failure{"open the folder of", item.path, errno, {}};
  struct stat st;
  if (::fstatat(entry.parent.get(), entry.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
    return Failure::fromErrno("find", item.path);
  if (FileIdentity{st.st_dev, st.st_ino} != item.identity)
    return Failure{"clean", item.path, 0, "it was replaced by another file after it was checked; it was left alone"};
  return entry;
}

std::string joinedSummary(const std::vector<std::string> &failures) {
  std::string text = failures.front();
  if (failures.size() > 1)
    text += " (and " + std::to_string(failures.size() - 1) + " more)";
  return text;
}

// Nothing in the user's Trash is removed alone: only the Trash's own means
// keep each item with its record (and plain moves to the Trash refuse it
// too). Where that cannot be told (the mount unknown), the removal goes on,
// as it did before the rule: at worst a record outlives its item.
Result<void> refuseInTrash(const FreedesktopTrash &trash, const ParentAndName &entry, const std::string &path) {
  const Result<bool> inTrash = trash.liesInOwnTrash(entry.parent.get(), entry.name, path);
  if (inTrash && *inTrash)
    return Failure{"remove", path, 0, "it is in the Trash; to remove it for good, empty the Trash"};
  return {};
}

} // namespace

Result<std::vector<std::string>> CleaningFileSystem::cleanKeeping(const ApprovedDeletion &item, DeletionMode,
                                                                  const std::vector<std::string> &) {
  return Failure{"clean", item.path, 0, "the files it must keep cannot be kept here"};
}

std::optional<std::string> CleaningFileSystem::refusalOf(const std::string &) const { return std::nullopt; }

std::optional<std::string> SystemCleaningFileSystem::refusalOf(const std::string &path) const {
  const Result<bool> inTrash = trash_.liesInATrash(path);
  if (inTrash && *inTrash)
    return "'" + path + "' is already in the Trash; to remove it for good, empty the Trash.";
  return std::nullopt;
}

Result<void> SystemCleaningFileSystem::moveToTrash(const ApprovedDeletion &item) {
  Result<ParentAndName> entry = pinned(item);
  if (!entry)
    return entry.failure();
  if (Result<std::string> moved = trash_.moveToTrash(entry->parent.get(), entry->name, item.path, item.identity);
      !moved)
    return moved.failure();
  return {};
}

Result<void> SystemCleaningFileSystem::removeItem(const ApprovedDeletion &item) {
  Result<ParentAndName> entry = pinned(item);
  if (!entry)
    return entry.failure();
  if (Result<void> refused = refuseInTrash(trash_, *entry, item.path); !refused)
    return refused.failure();
  Result<RemovalQuarantine> quarantine =
      RemovalQuarantine::enter(entry->parent.get(), entry->name, item.path, item.identity, &quarantines_);
  if (!quarantine)
    return quarantine.failure();
  const Result<void> removed = removePermanently(quarantine->folder(), entry->name, item.path, item.identity);
  if (!quarantine->finish())
    return Failure{"remove all of", item.path, 0,
                   "what is left is in " + quarantine->folderName() + " beside it, as its name was taken meanwhile"};
  return removed;
}

Result<std::vector<std::string>> SystemCleaningFileSystem::cleanKeeping(const ApprovedDeletion &item, DeletionMode mode,
                                                                        const std::vector<std::string> &keptNames) {
  Result<ParentAndName> entry = pinned(item);
  if (!entry)
    return entry.failure();
  if (mode == DeletionMode::permanentDelete)
    if (Result<void> refused = refuseInTrash(trash_, *entry, item.path); !refused)
      return refused.failure();
  const EntryAction act = [&](int folder, const std::string &name, const std::string &shown,
                              std::optional<FileIdentity> expected) -> Result<void> {
    if (mode == DeletionMode::permanentDelete)
      return removePermanently(folder, name, shown, expected);
    if (Result<std::string> moved = trash_.moveToTrash(folder, name, shown, expected); !moved)
      return moved.failure();
    return {};
  };
  Result<KeptEntryOutcome> outcome =
      cleanAroundKeptEntries(entry->parent.get(), entry->name, item.path, keptNames, act, item.identity);
  if (!outcome)
    return outcome.failure();
  if (!outcome->failures.empty())
    return Failure{"clean all of", item.path, 0, joinedSummary(outcome->failures)};
  return std::move(outcome->keptPaths);
}

} // namespace tarnwick
