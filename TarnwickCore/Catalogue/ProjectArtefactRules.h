#pragma once

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tarnwick {

/// A folder that a project's own tools rebuild, and the files beside it
/// that say which tool the project uses.
struct ProjectArtefactKind {
  /// The folder's name; empty for a CMake build folder, which may have any
  /// name and is known by the CMakeCache.txt inside it.
  std::string_view folder;
  /// What it holds, for the item's subtitle ("Node.js dependencies").
  std::string_view description;
  /// Names of regular files beside the folder (relative paths allowed);
  /// any one of them makes the folder this kind of artefact. For a kind
  /// found anywhere in a project (`anywhereInProject`), they are looked
  /// for in the folder holding it and the folders above it.
  std::span<const std::string_view> markers;
  /// False for what is slow or fiddly to rebuild (virtual environments):
  /// offered, never ticked, with caution.
  bool isSafeByDefault = true;
  bool anywhereInProject = false;
};

/// The rule that says what in a project is a regenerable artefact: one
/// table, read by the finder that offers artefacts and by the deletion
/// guard that approves them when they are cleaned.
///
/// Threads: stateless.
class ProjectArtefactRules {
public:
  static std::span<const ProjectArtefactKind> kinds();

  /// The kind of `folder`, a folder named so inside `project`, by what the
  /// project holds now: `isRegularFile` answers, without following links,
  /// whether a path relative to `project` names a regular file, and
  /// `hasMarkerAbove` whether a folder above `project` holds one of a
  /// kind's markers (for kinds found anywhere in a project). Nothing when
  /// it is no artefact here.
  using FileTest = std::function<bool(std::string_view relative)>;
  using MarkerAbove = std::function<bool(std::span<const std::string_view> markers)>;
  static const ProjectArtefactKind *kindOf(std::string_view folder, const FileTest &isRegularFile,
                                           const MarkerAbove &hasMarkerAbove = {});

  /// The Python project markers, which __pycache__ folders anywhere below
  /// them answer to.
  static std::span<const std::string_view> pythonMarkers();

  /// Names never walked into when looking for projects, marker or not:
  /// folders of downloaded or generated code only.
  static bool isNeverWalked(std::string_view name);
};

} // namespace tarnwick
