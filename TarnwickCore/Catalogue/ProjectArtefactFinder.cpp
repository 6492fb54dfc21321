#include "TarnwickCore/Catalogue/ProjectArtefactFinder.h"

#include "TarnwickCore/Catalogue/CacheLocation.h"
#include "TarnwickCore/Support/PathJoin.h"
#include "TarnwickCore/Support/ScanErrors.h"
#include "TarnwickCore/Support/UniqueFd.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <memory>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace tarnwick {
namespace {

// Folders below which people keep code although their names are hidden.
constexpr auto walkedHiddenNames = std::to_array<std::string_view>({".dotfiles", ".projects", ".src"});
// Deeper than this, a tree is generated, not written: not walked further.
constexpr int maximumDepth = 64;

struct Entry {
  std::string name;
  unsigned char type; // DT_DIR, DT_REG, DT_LNK…
};

double seconds(const struct timespec &time) { return double(time.tv_sec) + double(time.tv_nsec) / 1e9; }

// Every entry of the open folder, with its type (DT_UNKNOWN resolved
// without following links). The descriptor stays the caller's.
std::vector<Entry> readEntries(int folder) {
  std::vector<Entry> entries;
  const int own = ::dup(folder);
  if (own < 0)
    return entries;
  std::unique_ptr<DIR, int (*)(DIR *)> listing(::fdopendir(own), &::closedir);
  if (!listing) {
    ::close(own);
    return entries;
  }
  while (const dirent *entry = ::readdir(listing.get())) {
    const std::string_view name = entry->d_name;
    if (name == "." || name == "..")
      continue;
    unsigned char type = entry->d_type;
    if (type == DT_UNKNOWN) {
      struct stat status {};
      if (::fstatat(folder, entry->d_name, &status, AT_SYMLINK_NOFOLLOW) != 0)
        continue;
      type = S_ISDIR(status.st_mode) ? DT_DIR : S_ISREG(status.st_mode) ? DT_REG : S_ISLNK(status.st_mode) ? DT_LNK : DT_UNKNOWN;
    }
    entries.push_back({std::string(name), type});
  }
  std::ranges::sort(entries, {}, &Entry::name);
  return entries;
}

class Walk {
public:
  Walk(const std::string &home, const std::set<std::string, std::less<>> &skipped, std::stop_token stop)
      : home_(home), skipped_(skipped), stop_(std::move(stop)) {}

  void root(const std::string &path) {
    // The home folder may itself be a link (to another disk, say), which
    // the deletion guard resolves too; any other linked root is refused.
    const int followLink = path == home_ ? 0 : O_NOFOLLOW;
    UniqueFd folder(::open(path.c_str(), O_RDONLY | O_DIRECTORY | followLink | O_CLOEXEC));
    struct stat status {};
    if (!folder || ::fstat(folder.get(), &status) != 0)
      return;
    device_ = status.st_dev;
    visit(folder.get(), path, status, false, 0);
  }

  std::vector<FoundArtefact> takeFound() {
    for (Found &found : found_)
      found.artefact.projectModified = projectModified_[found.project];
    std::vector<FoundArtefact> artefacts;
    for (Found &found : found_)
      artefacts.push_back(std::move(found.artefact));
    return artefacts;
  }

private:
  struct Found {
    FoundArtefact artefact;
    std::size_t project;
  };

  // `inPython`: a folder above this one is a Python project.
  void visit(int folder, const std::string &path, const struct stat &status, bool inPython, int depth) {
    if (stop_.stop_requested())
      throw ScanCancelledError();
    const std::vector<Entry> entries = readEntries(folder);
    auto isRegularFile = [&](std::string_view relative) { return regularFileAt(folder, entries, relative); };
    const bool isProject = path != home_ && isAProject(isRegularFile);
    const std::size_t openProjects = enclosing_.size();
    if (isProject) {
      enclosing_.push_back(projectModified_.size());
      projectModified_.push_back(newestTopLevelChange(folder, entries));
    }
    for (std::size_t project : enclosing_)
      projectModified_[project] = std::max(projectModified_[project], seconds(status.st_mtim));
    const bool pythonHere = isProject && std::ranges::any_of(ProjectArtefactRules::pythonMarkers(), isRegularFile);
    if (pythonHere)
      pythonProjects_.push_back({path, enclosing_.back()});
    auto pythonAbove = [inPython](std::span<const std::string_view>) { return inPython; };
    for (const Entry &entry : entries) {
      if (entry.type != DT_DIR)
        continue;
      const std::string child = path == "/" ? "/" + entry.name : path + "/" + entry.name;
      if (const ProjectArtefactKind *kind = ProjectArtefactRules::kindOf(entry.name, isRegularFile, pythonAbove)) {
        const bool anywhere = kind->anywhereInProject && !pythonHere;
        // Markers in the home folder itself make no project there.
        if (anywhere ? pythonProjects_.empty() : enclosing_.empty())
          continue;
        found_.push_back({{child, anywhere ? pythonProjects_.back().path : path, kind, 0},
                          anywhere ? pythonProjects_.back().project : enclosing_.back()});
        continue;
      }
      if (depth >= maximumDepth || ProjectArtefactRules::isNeverWalked(entry.name) || skipped_.contains(child) ||
          (entry.name.starts_with('.') && !ProjectArtefactFinder::isWalkedHiddenName(entry.name)))
        continue;
      descend(folder, entry.name, child, inPython || pythonHere, depth + 1);
    }
    if (pythonHere)
      pythonProjects_.pop_back();
    enclosing_.resize(openProjects);
  }

  void descend(int parent, const std::string &name, const std::string &path, bool inPython, int depth) {
    UniqueFd folder(::openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
    struct stat status {};
    if (!folder || ::fstat(folder.get(), &status) != 0 || status.st_dev != device_)
      return;
    visit(folder.get(), path, status, inPython, depth);
  }

  static bool regularFileAt(int folder, const std::vector<Entry> &entries, std::string_view relative) {
    const std::size_t slash = relative.find('/');
    const auto found = std::ranges::lower_bound(entries, relative.substr(0, slash), {}, &Entry::name);
    if (found == entries.end() || found->name != relative.substr(0, slash))
      return false;
    if (slash == std::string_view::npos)
      return found->type == DT_REG;
    struct stat status {};
    return found->type == DT_DIR &&
           ::fstatat(folder, std::string(relative).c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 &&
           S_ISREG(status.st_mode);
  }

  static bool isAProject(const ProjectArtefactRules::FileTest &isRegularFile) {
    return std::ranges::any_of(ProjectArtefactRules::kinds(), [&](const ProjectArtefactKind &kind) {
      return std::ranges::any_of(kind.markers, isRegularFile);
    });
  }

  // The newest change among the files directly in a project folder (one
  // fstatat each: project folders are few).
  static double newestTopLevelChange(int folder, const std::vector<Entry> &entries) {
    double newest = 0;
    for (const Entry &entry : entries) {
      struct stat status {};
      if (entry.type == DT_REG && ::fstatat(folder, entry.name.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0)
        newest = std::max(newest, seconds(status.st_mtim));
    }
    return newest;
  }

  struct PythonProject {
    std::string path;
    std::size_t project;
  };

  const std::string &home_;
  const std::set<std::string, std::less<>> &skipped_;
  const std::stop_token stop_;
  dev_t device_ = 0;
  std::vector<double> projectModified_;
  std::vector<std::size_t> enclosing_; // indices into projectModified_, outermost first
  std::vector<PythonProject> pythonProjects_;
  std::vector<Found> found_;
};

std::string shownPath(const std::string &path, const std::string &home) {
  return holdsPath(home, path) && path != home ? "~" + path.substr(home == "/" ? 0 : home.size()) : path;
}

std::string age(double seconds) {
  const auto days = static_cast<long long>(std::floor(seconds / 86400));
  return days <= 0 ? "changed today" : days == 1 ? "changed 1 day ago" : "changed " + std::to_string(days) + " days ago";
}

} // namespace

ProjectArtefactFinder::ProjectArtefactFinder(std::string homeDirectory, std::vector<std::string> roots,
                                             std::vector<std::string> skippedFolders)
    : homeDirectory_(std::move(homeDirectory)), roots_(std::move(roots)),
      skipped_(skippedFolders.begin(), skippedFolders.end()) {
  while (homeDirectory_.size() > 1 && homeDirectory_.back() == '/')
    homeDirectory_.pop_back();
}

bool ProjectArtefactFinder::isWalkedHiddenName(std::string_view name) {
  return std::ranges::find(walkedHiddenNames, name) != walkedHiddenNames.end();
}

std::vector<FoundArtefact> ProjectArtefactFinder::find(std::stop_token stop) const {
  Walk walk(homeDirectory_, skipped_, stop);
  for (const std::string &root : roots_)
    walk.root(root);
  return walk.takeFound();
}

std::vector<MeasuredCacheItem> ProjectArtefactFinder::measureItems(std::stop_token stop) const {
  const double now = std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
  std::vector<MeasuredCacheItem> items;
  for (FoundArtefact &found : find(stop)) {
    const bool stale = now - found.projectModified >= staleAfterSeconds;
    const bool inHome = holdsPath(homeDirectory_, found.projectPath) && found.projectPath != homeDirectory_;
    CleanableItem item;
    item.name = std::string(lastPathComponent(found.projectPath)) + found.path.substr(found.projectPath.size());
    item.subtitle = std::string(found.kind->description) + " of " + shownPath(found.projectPath, homeDirectory_) +
                    ", " + age(now - found.projectModified) + (inHome ? "" : "; outside the home folder, never cleaned");
    item.path = std::move(found.path);
    item.category = CleanableCategory::brewAndPackages;
    item.isSafeByDefault = found.kind->isSafeByDefault;
    item.isSelected = item.isSafeByDefault && stale && inHome;
    if (auto measured = measuredItem(std::move(item), {}, stop)) {
      measured->item.lastModified = found.projectModified;
      items.push_back(std::move(*measured));
    }
  }
  return items;
}

} // namespace tarnwick
