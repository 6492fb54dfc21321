#include "TarnwickCore/Deletion/CleaningFileSystem.h"

#include "TarnwickCore/Deletion/KeptEntryCleaning.h"
#include "TarnwickCore/Support/NoLinkPath.h"
#include "TarnwickCore/Deletion/PermanentRemoval.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace tarnwick {
namespace {

// The approved entry's folder, opened without following any link, after
// checking that the entry in it is still the approved file.
ParentAndName pinned(const ApprovedDeletion &item) {
  ParentAndName entry = openParentWithoutLinks(item.realPath);
  if (!entry.parent)
    throw std::runtime_error("cannot open the folder of " + item.path + ": " + std::strerror(errno));
  struct stat st;
  if (::fstatat(entry.parent.get(), entry.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
    throw std::runtime_error("cannot find " + item.path + ": " + std::strerror(errno));
  if (FileIdentity{st.st_dev, st.st_ino} != item.identity)
    throw std::runtime_error(item.path + " was replaced by another file after it was checked; it was left alone");
  return entry;
}

std::string joinedSummary(const std::vector<std::string> &failures) {
  std::string text = failures.front();
  if (failures.size() > 1)
    text += " (and " + std::to_string(failures.size() - 1) + " more)";
  return text;
}

} // namespace

std::vector<std::string> CleaningFileSystem::cleanKeeping(const ApprovedDeletion &item, DeletionMode,
                                                          const std::vector<std::string> &) {
  throw std::runtime_error("cannot clean " + item.path + " while keeping the files it must keep");
}

void SystemCleaningFileSystem::moveToTrash(const ApprovedDeletion &item) {
  const ParentAndName entry = pinned(item);
  trash_.moveToTrash(entry.parent.get(), entry.name, item.path);
}

void SystemCleaningFileSystem::removeItem(const ApprovedDeletion &item) {
  const ParentAndName entry = pinned(item);
  removePermanently(entry.parent.get(), entry.name, item.path);
}

std::vector<std::string> SystemCleaningFileSystem::cleanKeeping(const ApprovedDeletion &item, DeletionMode mode,
                                                                const std::vector<std::string> &keptNames) {
  const ParentAndName entry = pinned(item);
  const EntryAction act = [&](int folder, const std::string &name, const std::string &shown) {
    if (mode == DeletionMode::permanentDelete)
      removePermanently(folder, name, shown);
    else
      trash_.moveToTrash(folder, name, shown);
  };
  KeptEntryOutcome outcome = cleanAroundKeptEntries(entry.parent.get(), entry.name, item.path, keptNames, act);
  if (!outcome.failures.empty())
    throw std::runtime_error("cleaned only part of " + item.path + ": " + joinedSummary(outcome.failures));
  return std::move(outcome.keptPaths);
}

} // namespace tarnwick
