#pragma once

#include "TarnwickCore/Catalogue/SystemCacheItem.h"
#include "TarnwickCore/Support/CommandRunner.h"

#include <chrono>
#include <stop_token>
#include <string>
#include <vector>

namespace tarnwick {

/// Where the system keeps the caches that SystemCacheCatalogue measures
/// directly; tests point them at a scratch tree.
struct SystemCacheRoots {
  std::string aptArchives = "/var/cache/apt/archives";
  std::string journal = "/var/log/journal";
  std::string crashReports = "/var/crash";
  std::string snapRevisions = "/var/lib/snapd/snaps";
};

/// How running one item's cleaning command went.
struct SystemCacheCleaning {
  std::string id;
  /// What ran; empty when nothing did.
  std::vector<std::string> argv;
  /// Why nothing ran, or why the command failed; empty on success.
  std::string problem;
  CommandOutput output;

  bool succeeded() const { return !argv.empty() && problem.empty(); }
};

/// The caches that the system and its tools own: APT's downloaded packages,
/// the systemd journal, crash reports, disabled snap revisions, unused
/// Flatpak runtimes and Docker/Podman images and build cache. Folders are
/// measured directly; the tools' caches through their own commands, run by
/// `runner` with a timeout each. An item appears when its folder exists or
/// its tool is installed.
///
/// Cleaning never removes files itself: it runs the item's cleanArgv (the
/// owner's command) and nothing else.
///
/// Threads: blocking; call it off the GUI thread. Uses `runner` from the
/// calling thread only; the runner must outlive the catalogue.
class SystemCacheCatalogue {
public:
  SystemCacheCatalogue(CommandRunner &runner, SystemCacheRoots roots, bool runningAsRoot);
  /// The real folders, with root decided by the effective user id.
  explicit SystemCacheCatalogue(CommandRunner &runner);

  /// Every item, in a fixed order (APT, journal, crash reports, snaps,
  /// Flatpak, Docker, Podman). Once `stop` is requested the remaining
  /// tools are not asked and what was found so far is returned.
  std::vector<SystemCacheItem> measure(std::stop_token stop = {});

  /// Runs the item's command (never anything when it is not cleanable, nor
  /// anything but that command). The outcome says what happened; a failing
  /// command is an outcome, not an exception.
  /// Once `stop` is requested the command is killed where it can be.
  SystemCacheCleaning clean(const SystemCacheItem &item, std::stop_token stop = {});

  /// The time one measuring command may take.
  std::chrono::milliseconds measureTimeout{20'000};
  /// The time a cleaning command may take, a password prompt included.
  std::chrono::milliseconds cleanTimeout{std::chrono::minutes(30)};

private:
  void addFolderItems(std::vector<SystemCacheItem> &items);
  void addSnapItems(std::vector<SystemCacheItem> &items, std::stop_token stop);
  void addFlatpakItem(std::vector<SystemCacheItem> &items);
  void addContainerItems(std::vector<SystemCacheItem> &items, const std::string &engine, std::stop_token stop);
  /// Fills cleanArgv, toolAvailable and instead from the owner's command.
  void setCleaning(SystemCacheItem &item, std::vector<std::string> command, bool needsRoot);
  CommandOutput ask(std::vector<std::string> argv, std::string &problem, std::stop_token stop);

  CommandRunner &runner_;
  SystemCacheRoots roots_;
  bool runningAsRoot_;
};

} // namespace tarnwick
