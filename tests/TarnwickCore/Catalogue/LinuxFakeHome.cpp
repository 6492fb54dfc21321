#include "LinuxFakeHome.h"

#include <algorithm>
#include <fstream>

namespace quillane::test {
namespace {

using enum tarnwick::CleanableCategory;

// Where the catalogue has a row, with what it must say about it, in runs of
// one category and tick. Written out from what a Linux user has, not from
// the catalogue's tables.
struct RowRun {
  tarnwick::CleanableCategory category;
  bool ticked;
  std::vector<std::string> paths;
};
const RowRun fixedRows[] = {
    {systemJunk, true, {".cache/thumbnails", ".thumbnails", ".cache/mesa_shader_cache", ".cache/mesa_shader_cache_db",
                        ".cache/radv_builtin_shaders", ".cache/nvidia/GLCache", ".nv/GLCache"}},
    {brewAndPackages, true, {".npm/_cacache", ".npm/_npx", ".cache/pip", ".cache/yarn", ".cache/pnpm",
                             ".cache/go-build"}},
    {brewAndPackages, false, {"go/pkg/mod"}},
    {brewAndPackages, true, {".gradle/caches", ".gradle/wrapper/dists", ".m2/wrapper/dists"}},
    {brewAndPackages, false, {".m2/repository"}},
    {brewAndPackages, true, {".cache/JetBrains", ".cargo/registry/cache", ".cargo/registry/src",
                             ".cargo/registry/index", ".cargo/git", ".conda/pkgs", "miniconda3/pkgs", "anaconda3/pkgs",
                             "miniforge3/pkgs", "mambaforge/pkgs", "micromamba/pkgs", ".cache/uv", ".cache/pypoetry",
                             ".cache/pre-commit", ".cache/node-gyp", ".bun/install/cache", ".cache/deno",
                             ".nuget/packages", ".cache/bazel", ".cache/ccache", ".ccache", ".cache/sccache",
                             ".cache/ms-playwright", ".cache/puppeteer", ".cache/Cypress", ".cache/electron"}},
    {aiModelsAndLogs, false, {".cache/huggingface/hub", ".cache/torch", ".ollama/models"}},
    {aiModelsAndLogs, true, {".ollama/logs"}},
    {browserBloat, true, {".cache/google-chrome", ".cache/chromium", ".cache/BraveSoftware", ".cache/microsoft-edge",
                          ".cache/vivaldi", ".cache/mozilla/firefox", ".cache/spotify",
                          ".config/google-chrome/ShaderCache", ".config/google-chrome/GrShaderCache",
                          ".config/google-chrome/Default/GPUCache", ".config/google-chrome/Default/Code Cache",
                          ".config/google-chrome/Default/Service Worker/CacheStorage",
                          ".config/google-chrome/Default/Service Worker/ScriptCache",
                          ".config/google-chrome/Profile 1/GPUCache", ".config/chromium/Default/GPUCache",
                          ".config/BraveSoftware/Brave-Browser/Default/GPUCache",
                          ".config/microsoft-edge/Default/Code Cache", ".config/vivaldi/Default/DawnCache",
                          "snap/chromium/common/chromium/Default/GPUCache", ".config/Code/Cache",
                          ".config/Code/CachedData", ".config/Code/CachedExtensionVSIXs", ".config/Code/Code Cache",
                          ".config/Code/GPUCache", ".config/Code - Insiders/CachedData", ".config/Code - OSS/Cache",
                          ".config/VSCodium/CachedData", ".config/Cursor/GPUCache",
                          ".vscode-server/data/CachedExtensionVSIXs", ".config/Slack/Cache", ".config/Slack/Code Cache",
                          ".config/Slack/GPUCache", ".config/Slack/Service Worker/CacheStorage",
                          ".config/discord/Cache", ".config/discord/Code Cache", ".config/discord/GPUCache",
                          ".config/Microsoft/Microsoft Teams/Cache", ".config/teams-for-linux/GPUCache",
                          ".config/Signal/Code Cache", ".config/Element/Cache", ".config/obsidian/GPUCache"}},
    {userCache, true, {".local/share/Steam/steamapps/shadercache", ".cache/zoom"}},
    // Sandboxed applications, one item per cache folder.
    {userCache, true, {".var/app/org.gimp.GIMP/cache", ".var/app/org.mozilla.firefox/cache",
                       "snap/firefox/common/.cache", "snap/firefox/4539/.cache", "snap/code/171/.cache"}},
    // Entries of ~/.cache that no row claims; only the stale one is ticked.
    {userCache, true, {".cache/fontconfig"}},
    {userCache, false, {".cache/fresh-tool", ".cache/.hidden-tool", ".cache/session.lock", ".cache/mozilla/extensions",
                        ".cache/nvidia/OptixCache", ".cache/huggingface/datasets"}},
};

// Projects below ~/code: each artefact, written like a row, beside its
// marker. Those under "old/" are left untouched for 60 days and ticked,
// unless they are virtual environments; "new/" ones were just changed.
struct ProjectRow {
  std::string path;
  std::string marker; // relative to the artefact's project folder
  bool ticked;
};
const std::vector<ProjectRow> projectRows = {
    {"code/old/mono/node_modules", "package.json", true},
    {"code/old/mono/packages/ui/node_modules", "package.json", true}, // a nested project
    {"code/old/crate/target", "Cargo.toml", true}, {"code/old/javaapp/target", "pom.xml", true},
    {"code/old/android/build", "build.gradle.kts", true}, {"code/old/android/.gradle", "build.gradle.kts", true},
    {"code/old/native/out", "CMakeLists.txt", true}, {"code/old/py/__pycache__", "pyproject.toml", true},
    {"code/old/py/src/tool/__pycache__", "__init__.py", true}, // below the project's own folder
    {"code/old/py/.pytest_cache", "pyproject.toml", true}, {"code/old/py/.mypy_cache", "pyproject.toml", true},
    {"code/old/py/.ruff_cache", "pyproject.toml", true}, {"code/old/py/.tox", "pyproject.toml", true},
    {"code/old/py/.nox", "pyproject.toml", true}, {"code/old/py/.venv", "pyproject.toml", false},
    {"code/old/scripts/venv", "requirements.txt", false}, {"code/old/site/.next", "next.config.js", true},
    {"code/old/shop/.nuxt", "nuxt.config.ts", true}, {"code/old/spa/dist", "vite.config.ts", true},
    {"code/old/game/Library", "ProjectSettings/ProjectVersion.txt", true},
    {"code/old/godot/.godot", "project.godot", true},
    {".dotfiles/tool/node_modules", "package.json", true}, // a hidden folder people keep code in
    {"code/new/crate/target", "Cargo.toml", false}, {"code/new/setup/__pycache__", "setup.py", false},
};

const std::vector<std::string> protectedFileList = {
    ".config/google-chrome/Local State", ".config/google-chrome/Default/Cookies",
    ".config/google-chrome/Default/History", ".config/google-chrome/Default/Login Data",
    ".config/google-chrome/Default/Preferences", ".config/google-chrome/Default/Network Persistent State",
    ".config/google-chrome/Default/Local Storage/leveldb/000003.log", ".config/chromium/Default/Cookies",
    ".config/chromium/Default/History", ".config/Slack/Cookies", ".config/Slack/Local Storage/leveldb/000003.log",
    ".config/discord/Cookies", ".config/discord/Session Storage/000003.log", ".config/Code/User/settings.json",
    ".mozilla/firefox/p.default/places.sqlite", ".mozilla/firefox/p.default/cookies.sqlite",
    ".mozilla/firefox/p.default/logins.json", ".mozilla/firefox/p.default/key4.db",
    ".var/app/org.mozilla.firefox/.mozilla/firefox/p/logins.json", "snap/firefox/common/.mozilla/firefox/p/key4.db",
    ".local/share/keyrings/login.keyring", ".ssh/id_ed25519", ".gnupg/private-keys-v1.d/k.key",
    ".config/gcloud/credentials.db", ".cache/huggingface/token", ".bash_history", ".local/share/recently-used.xbel"};

void writeText(const TempTree &tree, const std::string &relative, const std::string &text) {
  tree.makeDirectory(relative.substr(0, relative.rfind('/')));
  std::ofstream(tree.path(relative)) << text;
}

} // namespace

std::string parentOf(const std::string &path) { return path.substr(0, path.rfind('/')); }

LinuxFakeHome::LinuxFakeHome() : protectedFiles_(protectedFileList) {
  for (const RowRun &run : fixedRows)
    for (const std::string &path : run.paths)
      rows_.push_back({path, run.category, run.ticked});
  for (const ProjectRow &project : projectRows)
    rows_.push_back({project.path, tarnwick::CleanableCategory::brewAndPackages, project.ticked});
  // Each row a different size, in a file one folder down, and a small one
  // beside it: sizes cannot be told apart by luck.
  std::size_t size = 0;
  for (const ExpectedRow &row : rows_) {
    size += 4096;
    if (row.path == ".cache/session.lock") {
      tree_.writeFile(row.path, size);
      continue;
    }
    tree_.writeFile(row.path + "/entries/blob", size);
    tree_.writeFile(row.path + "/index", 100);
  }
  for (const std::string &file : protectedFiles_)
    tree_.writeFile(file, 2048);
  // Cache folders a browser profile also holds, which its cleaners know.
  // No application's cache: a Trash made when ~/.cache is a disk of its
  // own, and this program's remembered scans.
  for (const std::string &entry : cacheEntriesNotOffered())
    tree_.writeFile(entry + "/files/old.txt", 8192);
  // Nor is the tag that marks the folder as a cache for backup tools.
  writeText(tree_, ".cache/CACHEDIR.TAG", "Signature: 8a477f597d28d172789f06886806bc55\n");
  runCommand("touch -d '60 days ago' " + shellQuote(path(".cache/CACHEDIR.TAG")));
  tree_.writeFile(".cache/google-chrome/Default/Cache/Cache_Data/f_000001", 8192);
  tree_.writeFile(".cache/mozilla/firefox/p.default/cache2/entries/ABC", 8192);
  tree_.makeSymlink("snap/firefox/current", "4539");
  tree_.makeDirectory(".var/app/org.example.NoCache/config");
  runCommand("find " + shellQuote(path(".cache/fontconfig")) + " -exec touch -h -d '60 days ago' {} +");
  writeProjects();
  writeText(tree_, ".local/share/Trash/files/old-report.txt", std::string(30000, 'x'));
  writeText(tree_, ".local/share/Trash/info/old-report.txt.trashinfo",
            "[Trash Info]\nPath=" + path("Documents/old-report.txt") + "\nDeletionDate=2024-01-02T03:04:05\n");
}

void LinuxFakeHome::writeProjects() {
  for (const ProjectRow &project : projectRows)
    tree_.writeFile(parentOf(project.path) + "/" + project.marker, 10);
  tree_.writeFile("code/old/mono/node_modules/a/node_modules/b/index.js", 5000); // inside an artefact: one item
  tree_.writeFile("code/old/native/out/CMakeCache.txt", 10);
  tree_.writeFile("code/old/native/docs/index.md", 10); // beside the build folder, no CMakeCache.txt
  for (const char *file : {"code/old/native/lib/CMakeLists.txt", "code/old/native/lib/CMakeCache.txt"})
    tree_.writeFile(file, 10); // a sub-project configured in its sources
  // Lookalikes: an artefact's name without its marker, or beside another
  // tool's marker, in a hidden folder, or reached through a link.
  for (const std::string &lookalike : lookalikeArtefacts())
    if (!lookalike.starts_with("code/old/linked/"))
      tree_.writeFile(lookalike + "/file", 4096);
  // The home folder is no project, whatever `npm install` or pip left in it.
  for (const char *file : {"code/old/loose/README.md", "code/old/notrust/package.json", ".hidden-work/app/package.json",
                           "package.json", "requirements.txt"})
    tree_.writeFile(file, 10);
  tree_.writeFile(".hidden-work/app/node_modules/file", 4096);
  tree_.makeSymlink("code/old/linked", "../../.hidden-work/app");
  tree_.makeSymlink("code/old/fake/package.json", "../../../.hidden-work/app/package.json");
  runCommand("find " + shellQuote(path("code/old")) + " " + shellQuote(path(".dotfiles")) +
             " -exec touch -h -d '60 days ago' {} +");
}

bool isTakenBy(const tarnwick::CleanableItem &item, const std::string &path) {
  if (path != item.path && !path.starts_with(item.path + "/"))
    return false;
  for (std::size_t at = item.path.size(); at < path.size(); at = path.find('/', at + 1)) {
    const std::size_t end = std::min(path.find('/', at + 1), path.size());
    if (tarnwick::CleanableItem::isKeptName(item.keptEntryNames, std::string_view(path).substr(at + 1, end - at - 1)))
      return false;
  }
  return true;
}

std::vector<std::string> LinuxFakeHome::lookalikeArtefacts() {
  return {"code/old/loose/node_modules",  "code/old/loose/dist",        "code/old/notrust/target",
          "code/old/fake/node_modules",   "code/old/loose/__pycache__", "code/old/linked/node_modules",
          "node_modules",                 "__pycache__",                "code/old/native/lib"};
}

} // namespace quillane::test
