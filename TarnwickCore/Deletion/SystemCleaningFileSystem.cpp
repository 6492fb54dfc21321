#include "TarnwickCore/Deletion/CleaningFileSystem.h"

#include "TarnwickCore/Deletion/KeptEntryCleaning.h"
#include "TarnwickCore/Support/NoLinkPath.h"
#include "TarnwickCore/Support/UniqueFd.h"
#include "TarnwickCore/Deletion/PermanentRemoval.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <string_view>
#include <vector>
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

bool isTrashFolderName(std::string_view folder, std::string_view above) {
  const bool digits = !folder.empty() && folder.find_first_not_of("0123456789") == std::string_view::npos;
  return folder == "Trash" || (folder.starts_with(".Trash-") && folder.size() > 7) || (digits && above == ".Trash");
}

// An item removed from a Trash's files/ folder takes its record in info/
// with it, or trash clients would list a ghost.
void forgetTrashRecord(int parent, const std::string &name, const std::string &realPath) {
  std::vector<std::string_view> folders; // the item's parent, then above it
  std::string_view rest(realPath);
  for (int i = 0; i < 3; ++i) {
    rest = rest.substr(0, rest.rfind('/'));
    const auto slash = rest.rfind('/');
    if (slash == std::string_view::npos)
      return;
    folders.push_back(rest.substr(slash + 1));
  }
  if (folders[0] != "files" || !isTrashFolderName(folders[1], folders[2]))
    return;
  if (UniqueFd info{::openat(parent, "../info", O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)})
    ::unlinkat(info.get(), (name + ".trashinfo").c_str(), 0);
}

} // namespace

std::vector<std::string> CleaningFileSystem::cleanKeeping(const ApprovedDeletion &item, DeletionMode,
                                                          const std::vector<std::string> &) {
  throw std::runtime_error("cannot clean " + item.path + " while keeping the files it must keep");
}

void SystemCleaningFileSystem::moveToTrash(const ApprovedDeletion &item) {
  const ParentAndName entry = pinned(item);
  trash_.moveToTrash(entry.parent.get(), entry.name, item.path, item.identity);
}

void SystemCleaningFileSystem::removeItem(const ApprovedDeletion &item) {
  const ParentAndName entry = pinned(item);
  removePermanently(entry.parent.get(), entry.name, item.path, item.identity);
  forgetTrashRecord(entry.parent.get(), entry.name, item.realPath);
}

std::vector<std::string> SystemCleaningFileSystem::cleanKeeping(const ApprovedDeletion &item, DeletionMode mode,
                                                                const std::vector<std::string> &keptNames) {
  const ParentAndName entry = pinned(item);
  const EntryAction act = [&](int folder, const std::string &name, const std::string &shown,
                              std::optional<FileIdentity> expected) {
    if (mode == DeletionMode::permanentDelete)
      removePermanently(folder, name, shown, expected);
    else
      trash_.moveToTrash(folder, name, shown, expected);
  };
  KeptEntryOutcome outcome =
      cleanAroundKeptEntries(entry.parent.get(), entry.name, item.path, keptNames, act, item.identity);
  if (!outcome.failures.empty())
    throw std::runtime_error("cleaned only part of " + item.path + ": " + joinedSummary(outcome.failures));
  return std::move(outcome.keptPaths);
}

} // namespace tarnwick
