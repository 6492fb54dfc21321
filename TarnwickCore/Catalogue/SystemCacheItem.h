#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tarnwick {

/// A cache that the system or a system tool owns (APT's downloaded
/// packages, the journal, old snap revisions, container images): reported
/// with its size and cleaned only by running its owner's own command, never
/// by removing its files. Kept apart from CleanableItem, whose items are one
/// path each and go to the Trash.
///
/// A plain value.
struct SystemCacheItem {
  /// Stable and unique within one catalogue, for the command line:
  /// "apt-archives", "journal", "snap-core20-1828".
  std::string id;
  std::string title;
  /// Bytes the owner's command frees (or, for the journal, the most it
  /// can); nothing when they could not be read, with the reason in
  /// sizeNote.
  std::optional<std::int64_t> sizeBytes;
  /// Why sizeBytes is missing, or what it leaves out ("2 folders could not
  /// be read"); empty when there is nothing to say.
  std::string sizeNote;
  /// The exact command that cleans it, as it will run: argv[0] an absolute
  /// path, prefixed with pkexec when it needs root and we are not root.
  /// Empty when the item cannot be cleaned from here (see instead).
  std::vector<std::string> cleanArgv;
  /// Whether the command must run as root (through pkexec when we are not).
  bool needsRoot = false;
  /// Whether everything the command needs was found (the tool, and pkexec
  /// when root is needed and we are not root).
  bool toolAvailable = false;
  /// What the user can do instead when it is not cleanable: the command to
  /// run by hand, or why there is none.
  std::string instead;

  bool isCleanable() const { return toolAvailable && !cleanArgv.empty(); }

  friend bool operator==(const SystemCacheItem &, const SystemCacheItem &) = default;
};

/// `argv` as a shell would need it typed, for showing: words with anything
/// but [A-Za-z0-9_@%+=:,./-] are single-quoted.
std::string shellQuoted(const std::vector<std::string> &argv);

} // namespace tarnwick
