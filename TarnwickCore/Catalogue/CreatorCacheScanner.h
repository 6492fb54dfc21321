#pragma once

#include "TarnwickCore/Catalogue/CacheSizeSettlement.h"
#include "TarnwickCore/Catalogue/CleanableItem.h"

#include <set>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

/// Finds the media caches of creative tools and the caches of browsers and
/// Electron apps in one home folder, as cleanable items.
///
/// Four groups, in this order: Adobe, Final Cut Pro and DaVinci Resolve
/// (all creatorCaches), then browsers and Electron apps (browserBloat). Final
/// Cut libraries are looked for only at the top level of ~/Movies. Of a
/// Chromium-family profile or data folder (on Linux: its own shader caches
/// and each "Default" or "Profile N" in it) and of an Electron
/// application's data folder only the cache folders are offered, each
/// named after its owner, never the folder itself.
///
/// Browser folders mix caches with session secrets, so every measurement
/// here leaves out the strictly protected session names: such a file adds
/// nothing, and such a folder adds nothing itself (its descendants count
/// unless their own names are protected). A location whose own name is
/// protected gives no item. Every item lists those names, sorted, in its
/// keptEntryNames, so that cleaning leaves in place what the size left
/// out. Every item is selected and safe by default.
///
/// Threads: const and stateless apart from the home path; scans may run
/// concurrently.
class CreatorCacheScanner {
public:
  explicit CreatorCacheScanner(std::string homeDirectory);

  const std::string &homeDirectory() const { return homeDirectory_; }

  /// Every item found, in discovery order: group order, then table order.
  /// Their sizes are not settled yet, so that a caller can settle them
  /// together with other items.
  ///
  /// Throws ScanCancelledError when `stop` is requested: at the check made
  /// before each group (so a token stopped beforehand measures nothing),
  /// and within a group as soon as the location being walked notices it.
  /// Nothing partial is returned.
  std::vector<MeasuredCacheItem> measureItems(std::stop_token stop = {}) const;

  /// measureItems() settled on their own: largest first, equal sizes in
  /// discovery order.
  std::vector<CleanableItem> scan(std::stop_token stop = {}) const;

  /// Every folder the tables name, relative to the home folder: fixed
  /// locations, profiles and application data folders (whose sub-caches
  /// are what is offered), whether they exist or not.
  static std::vector<std::string_view> locationPaths();

  /// Whether the last path component of `name`, with ASCII letters
  /// lower-cased, is one of strictlyProtectedSessionFilenames(): a session
  /// name, or one with a database companion suffix ("-journal", "-wal",
  /// "-shm", ".corrupt").
  static bool isProtectedSessionName(std::string_view name);

  /// The lower-case names of session state (cookies, logins, keys, history,
  /// open sessions, storage) that no cleaning may count or remove, with
  /// their database companions.
  static const std::set<std::string> &strictlyProtectedSessionFilenames();

private:
  std::string homeDirectory_;
};

} // namespace tarnwick
