#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

/// How the cleaning engine deletes; stored and shown as the case name.
enum class DeletionMode { moveToTrash, permanentDelete };

std::string_view rawValue(DeletionMode mode);
/// Exact case name only ("moveToTrash", "permanentDelete").
std::optional<DeletionMode> deletionModeFromRawValue(std::string_view text);

/// Reported before each selected item is processed.
struct CleanProgress {
  std::int64_t currentIndex = 0; // zero-based, among the selected items
  std::int64_t totalCount = 0;
  std::string currentPath;
  std::int64_t freedBytes = 0; // by the items completed before this one

  friend bool operator==(const CleanProgress &, const CleanProgress &) = default;
};

/// What the items a run cleaned free, counted from their inodes before they
/// went: a file counts only when every one of its links was among them.
struct ReclaimedSpace {
  DeletionMode mode = DeletionMode::moveToTrash;
  /// Freed by the run when it removed the items, or once the Trash holding
  /// them is emptied.
  std::int64_t bytes = 0;
  /// Links to the items' files that stay elsewhere, keeping those files.
  std::int64_t remainingLinks = 0;
  /// The cleaned items that free nothing at all because other links to
  /// their files remain, with how many remain.
  std::map<std::string, std::int64_t> linkedElsewhere;

  friend bool operator==(const ReclaimedSpace &, const ReclaimedSpace &) = default;
};

/// What one cleaning run did. A path the guard refused is in
/// blockedProtectedPaths and errors; a file-system failure only in errors.
struct SafeCleaningReport {
  std::int64_t freedBytes = 0; // the items' recorded sizes, not re-measured
  std::vector<std::string> cleanedPaths;
  std::vector<std::string> blockedProtectedPaths;
  std::map<std::string, std::string> errors;
  double durationSeconds = 0;
  /// Items named again after they, or a folder holding them, were cleaned
  /// earlier in the same run: done already, so neither cleaned nor failed.
  std::vector<std::string> alreadyHandledPaths;
  /// A cleaned folder item → the entries left in place inside it because
  /// the item keeps their names (session files beside a browser cache).
  std::map<std::string, std::vector<std::string>> keptPaths;
  /// What the cleaned items free, when the caller measured them before the
  /// run (the engine itself leaves it empty).
  std::optional<ReclaimedSpace> reclaimed;

  friend bool operator==(const SafeCleaningReport &, const SafeCleaningReport &) = default;
};

} // namespace tarnwick
