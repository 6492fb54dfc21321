#include "TarnwickCore/Catalogue/ProjectArtefactRules.h"

#include <algorithm>
#include <array>

namespace tarnwick {
namespace {

constexpr auto nodeMarkers = std::to_array<std::string_view>({"package.json"});
constexpr auto cargoMarkers = std::to_array<std::string_view>({"Cargo.toml"});
constexpr auto mavenMarkers = std::to_array<std::string_view>({"pom.xml"});
constexpr auto gradleMarkers = std::to_array<std::string_view>(
    {"build.gradle", "build.gradle.kts", "settings.gradle", "settings.gradle.kts"});
constexpr auto cmakeMarkers = std::to_array<std::string_view>({"CMakeLists.txt"});
constexpr auto pythonProjectMarkers =
    std::to_array<std::string_view>({"pyproject.toml", "setup.py", "setup.cfg", "requirements.txt"});
constexpr auto nextMarkers = std::to_array<std::string_view>({"next.config.js", "next.config.mjs", "next.config.ts"});
constexpr auto nuxtMarkers = std::to_array<std::string_view>({"nuxt.config.js", "nuxt.config.ts", "nuxt.config.mjs"});
// Bundlers whose output folder is "dist"; a "dist" beside anything else may
// be the only copy of a release.
constexpr auto distMarkers = std::to_array<std::string_view>(
    {"vite.config.js", "vite.config.ts", "vite.config.mjs", "angular.json", "webpack.config.js", "rollup.config.js",
     "rollup.config.mjs"});
constexpr auto unityMarkers = std::to_array<std::string_view>({"ProjectSettings/ProjectVersion.txt"});
constexpr auto godotMarkers = std::to_array<std::string_view>({"project.godot"});

constexpr auto kindTable = std::to_array<ProjectArtefactKind>({
    {"node_modules", "Node.js dependencies", nodeMarkers},
    {"target", "Rust build output", cargoMarkers},
    {"target", "Maven build output", mavenMarkers},
    {"build", "Gradle build output", gradleMarkers},
    {".gradle", "Gradle project cache and wrapper state", gradleMarkers},
    {"", "CMake build folder", cmakeMarkers},
    {"__pycache__", "Python bytecode", pythonProjectMarkers, true, true},
    {".pytest_cache", "pytest cache", pythonProjectMarkers},
    {".mypy_cache", "mypy cache", pythonProjectMarkers},
    {".ruff_cache", "Ruff cache", pythonProjectMarkers},
    {".tox", "tox environments", pythonProjectMarkers},
    {".nox", "nox environments", pythonProjectMarkers},
    // A virtual environment can hold packages installed by hand.
    {".venv", "Python virtual environment", pythonProjectMarkers, false},
    {"venv", "Python virtual environment", pythonProjectMarkers, false},
    {".next", "Next.js build output", nextMarkers},
    {".nuxt", "Nuxt build output", nuxtMarkers},
    {"dist", "Bundler output", distMarkers},
    {"Library", "Unity asset cache", unityMarkers},
    {".godot", "Godot import cache", godotMarkers},
    {".import", "Godot import cache", godotMarkers},
});

constexpr auto neverWalked = std::to_array<std::string_view>({"node_modules", "__pycache__"});

} // namespace

std::span<const ProjectArtefactKind> ProjectArtefactRules::kinds() { return kindTable; }

std::span<const std::string_view> ProjectArtefactRules::pythonMarkers() { return pythonProjectMarkers; }

bool ProjectArtefactRules::isNeverWalked(std::string_view name) {
  return std::ranges::find(neverWalked, name) != neverWalked.end();
}

const ProjectArtefactKind *ProjectArtefactRules::kindOf(std::string_view folder, const FileTest &isRegularFile,
                                                        const MarkerAbove &hasMarkerAbove) {
  auto hasMarker = [&](const ProjectArtefactKind &kind) {
    return std::ranges::any_of(kind.markers, isRegularFile) ||
           (kind.anywhereInProject && hasMarkerAbove && hasMarkerAbove(kind.markers));
  };
  // Named kinds first: a Gradle "build" is Gradle's even beside a
  // CMakeLists.txt.
  for (const ProjectArtefactKind &kind : kindTable)
    if (!kind.folder.empty() && kind.folder == folder && hasMarker(kind))
      return &kind;
  // A folder with a CMakeLists.txt of its own is sources configured in
  // place, not a build folder.
  const std::string inside = std::string(folder) + "/";
  for (const ProjectArtefactKind &kind : kindTable)
    if (kind.folder.empty() && hasMarker(kind) && isRegularFile(inside + "CMakeCache.txt") &&
        !isRegularFile(inside + "CMakeLists.txt"))
      return &kind;
  return nullptr;
}

} // namespace tarnwick
