#pragma once

#include "TarnwickCore/Catalogue/CleanableItem.h"
#include "TestSupport/TempTree.h"

#include <string>
#include <vector>

namespace quillane::test {

/// What the catalogue must offer at one place of a LinuxFakeHome.
struct ExpectedRow {
  std::string path; // relative to the home folder
  tarnwick::CleanableCategory category;
  bool ticked;
};

/// A scratch home folder the way a Linux user's looks: a little data in
/// every place the catalogue knows (tool caches, browser and Electron
/// caches, sandboxed applications, unclaimed entries of ~/.cache, one of
/// them untouched for 60 days), projects with their build artefacts (and
/// folders that only look like artefacts), next to the session files, keys
/// and settings that must never be offered, and one item in the Trash.
class LinuxFakeHome {
public:
  LinuxFakeHome();

  const TempTree &tree() const { return tree_; }
  const std::string &root() const { return tree_.root(); }
  std::string path(std::string_view relative) const { return tree_.path(relative); }

  /// Every item the cache catalogue must list here, and nothing else.
  const std::vector<ExpectedRow> &rows() const { return rows_; }
  /// Files that no item may hold unless it keeps them (relative paths).
  const std::vector<std::string> &protectedFiles() const { return protectedFiles_; }
  /// The home Trash, holding one trashed file.
  std::string trash() const { return tree_.path(".local/share/Trash"); }
  /// Folders named like project artefacts that are none (relative paths).
  static std::vector<std::string> lookalikeArtefacts();
  /// Entries of ~/.cache that are no application's cache (relative paths).
  static std::vector<std::string> cacheEntriesNotOffered() { return {".cache/.Trash-1000", ".cache/quillane"}; }

private:
  void writeProjects();

  TempTree tree_;
  std::vector<ExpectedRow> rows_;
  std::vector<std::string> protectedFiles_;
};

/// Whether cleaning `item` takes `path`: it lies at or below the item and no
/// component between them is a name the item keeps.
bool isTakenBy(const tarnwick::CleanableItem &item, const std::string &path);

} // namespace quillane::test
