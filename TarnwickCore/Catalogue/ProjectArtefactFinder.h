#pragma once

#include "TarnwickCore/Catalogue/CacheSizeSettlement.h"
#include "TarnwickCore/Catalogue/ProjectArtefactRules.h"

#include <set>
#include <stop_token>
#include <string>
#include <vector>

namespace tarnwick {

/// One regenerable folder of a project, as the walk found it.
struct FoundArtefact {
  std::string path;
  std::string projectPath;
  const ProjectArtefactKind *kind = nullptr;
  /// The project's latest change, in seconds since 1970 (see find()).
  double projectModified = 0;
};

/// Finds projects below chosen folders by their marker files and offers
/// their regenerable artefacts (ProjectArtefactRules) as cleanable items.
///
/// The walk reads each folder once through a descriptor opened relative to
/// its parent's (openat with O_NOFOLLOW, then readdir): no symbolic link is
/// followed, no other file system is entered, and hidden folders are
/// skipped except a few where people keep code (isWalkedHiddenName). An
/// artefact is never walked into (node_modules inside node_modules is one
/// item), nor are folders of downloaded code (ProjectArtefactRules::
/// isNeverWalked); the rest of a project is, so nested projects (a
/// monorepo's packages) are found too. The home folder itself is no
/// project: a stray marker there would make the whole home one.
///
/// Threads: const; finds may run concurrently.
class ProjectArtefactFinder {
public:
  /// How long a project must be left alone, counted from its latest
  /// change, before its artefacts are ticked by default: 30 days.
  static constexpr double staleAfterSeconds = 30.0 * 24 * 60 * 60;

  /// `roots`: absolute folders to look below. `skippedFolders`: absolute
  /// folders never walked into (the catalogue's other locations).
  ProjectArtefactFinder(std::string homeDirectory, std::vector<std::string> roots,
                        std::vector<std::string> skippedFolders = {});

  /// Every artefact below the roots, in walk order (folders by name). A
  /// project's latest change is the newest modification time of its own
  /// folder, of the files directly in it, and of every folder below it
  /// outside artefacts and hidden folders: editing a file deep inside
  /// changes no folder, but saving, adding or removing one does.
  /// Throws ScanCancelledError once `stop` is requested.
  std::vector<FoundArtefact> find(std::stop_token stop = {}) const;

  /// find()'s artefacts, measured (brewAndPackages). Ticked: a safe kind of
  /// a project unchanged for staleAfterSeconds, inside the home folder
  /// (which is where the deletion guard approves them). Sizes are not
  /// settled yet. Throws ScanCancelledError once `stop` is requested.
  std::vector<MeasuredCacheItem> measureItems(std::stop_token stop = {}) const;

  /// Hidden folder names that are walked all the same.
  static bool isWalkedHiddenName(std::string_view name);

private:
  std::string homeDirectory_;
  std::vector<std::string> roots_;
  std::set<std::string, std::less<>> skipped_;
};

} // namespace tarnwick
