#include "LinuxFakeHome.h"

#include <fstream>

namespace quillane::test {
namespace {

using enum tarnwick::CleanableCategory;

// Where the catalogue has a row, with what it must say about it. Written
// out from what a Linux user has, not from the catalogue's tables.
const std::vector<ExpectedRow> fixedRows = {
    {".cache/thumbnails", systemJunk, true},
    {".thumbnails", systemJunk, true},
    {".cache/mesa_shader_cache", systemJunk, true},
    {".cache/mesa_shader_cache_db", systemJunk, true},
    {".cache/radv_builtin_shaders", systemJunk, true},
    {".cache/nvidia/GLCache", systemJunk, true},
    {".nv/GLCache", systemJunk, true},
    {".npm/_cacache", brewAndPackages, true},
    {".npm/_npx", brewAndPackages, true},
    {".cache/pip", brewAndPackages, true},
    {".cache/yarn", brewAndPackages, true},
    {".cache/pnpm", brewAndPackages, true},
    {".cache/go-build", brewAndPackages, true},
    {"go/pkg/mod", brewAndPackages, false},
    {".gradle/caches", brewAndPackages, true},
    {".gradle/wrapper/dists", brewAndPackages, true},
    {".m2/wrapper/dists", brewAndPackages, true},
    {".m2/repository", brewAndPackages, false},
    {".cache/JetBrains", brewAndPackages, true},
    {".cargo/registry/cache", brewAndPackages, true},
    {".cargo/registry/src", brewAndPackages, true},
    {".cargo/registry/index", brewAndPackages, true},
    {".cargo/git", brewAndPackages, true},
    {".conda/pkgs", brewAndPackages, true},
    {"miniconda3/pkgs", brewAndPackages, true},
    {"anaconda3/pkgs", brewAndPackages, true},
    {"miniforge3/pkgs", brewAndPackages, true},
    {"mambaforge/pkgs", brewAndPackages, true},
    {"micromamba/pkgs", brewAndPackages, true},
    {".cache/uv", brewAndPackages, true},
    {".cache/pypoetry", brewAndPackages, true},
    {".cache/pre-commit", brewAndPackages, true},
    {".cache/node-gyp", brewAndPackages, true},
    {".bun/install/cache", brewAndPackages, true},
    {".cache/deno", brewAndPackages, true},
    {".nuget/packages", brewAndPackages, true},
    {".cache/bazel", brewAndPackages, true},
    {".cache/ccache", brewAndPackages, true},
    {".ccache", brewAndPackages, true},
    {".cache/sccache", brewAndPackages, true},
    {".cache/ms-playwright", brewAndPackages, true},
    {".cache/puppeteer", brewAndPackages, true},
    {".cache/Cypress", brewAndPackages, true},
    {".cache/electron", brewAndPackages, true},
    {".cache/huggingface/hub", aiModelsAndLogs, false},
    {".cache/torch", aiModelsAndLogs, false},
    {".ollama/models", aiModelsAndLogs, false},
    {".ollama/logs", aiModelsAndLogs, true},
    {".cache/google-chrome", browserBloat, true},
    {".cache/chromium", browserBloat, true},
    {".cache/BraveSoftware", browserBloat, true},
    {".cache/microsoft-edge", browserBloat, true},
    {".cache/vivaldi", browserBloat, true},
    {".cache/mozilla/firefox", browserBloat, true},
    {".cache/spotify", browserBloat, true},
    {".config/google-chrome/ShaderCache", browserBloat, true},
    {".config/google-chrome/GrShaderCache", browserBloat, true},
    {".config/google-chrome/Default/GPUCache", browserBloat, true},
    {".config/google-chrome/Default/Code Cache", browserBloat, true},
    {".config/google-chrome/Default/Service Worker/CacheStorage", browserBloat, true},
    {".config/google-chrome/Default/Service Worker/ScriptCache", browserBloat, true},
    {".config/google-chrome/Profile 1/GPUCache", browserBloat, true},
    {".config/chromium/Default/GPUCache", browserBloat, true},
    {".config/BraveSoftware/Brave-Browser/Default/GPUCache", browserBloat, true},
    {".config/microsoft-edge/Default/Code Cache", browserBloat, true},
    {".config/vivaldi/Default/DawnCache", browserBloat, true},
    {"snap/chromium/common/chromium/Default/GPUCache", browserBloat, true},
    {".config/Code/Cache", browserBloat, true},
    {".config/Code/CachedData", browserBloat, true},
    {".config/Code/CachedExtensionVSIXs", browserBloat, true},
    {".config/Code/Code Cache", browserBloat, true},
    {".config/Code/GPUCache", browserBloat, true},
    {".config/Code - Insiders/CachedData", browserBloat, true},
    {".config/Code - OSS/Cache", browserBloat, true},
    {".config/VSCodium/CachedData", browserBloat, true},
    {".config/Cursor/GPUCache", browserBloat, true},
    {".vscode-server/data/CachedExtensionVSIXs", browserBloat, true},
    {".config/Slack/Cache", browserBloat, true},
    {".config/Slack/Code Cache", browserBloat, true},
    {".config/Slack/GPUCache", browserBloat, true},
    {".config/Slack/Service Worker/CacheStorage", browserBloat, true},
    {".config/discord/Cache", browserBloat, true},
    {".config/discord/Code Cache", browserBloat, true},
    {".config/discord/GPUCache", browserBloat, true},
    {".config/Microsoft/Microsoft Teams/Cache", browserBloat, true},
    {".config/teams-for-linux/GPUCache", browserBloat, true},
    {".config/Signal/Code Cache", browserBloat, true},
    {".config/Element/Cache", browserBloat, true},
    {".config/obsidian/GPUCache", browserBloat, true},
    {".local/share/Steam/steamapps/shadercache", userCache, true},
    {".cache/zoom", userCache, true},
    // Sandboxed applications, one item per cache folder.
    {".var/app/org.gimp.GIMP/cache", userCache, true},
    {".var/app/org.mozilla.firefox/cache", userCache, true},
    {"snap/firefox/common/.cache", userCache, true},
    {"snap/firefox/4539/.cache", userCache, true},
    {"snap/code/171/.cache", userCache, true},
    // Entries of ~/.cache that no row claims; only the stale one is ticked.
    {".cache/fontconfig", userCache, true},
    {".cache/fresh-tool", userCache, false},
    {".cache/.hidden-tool", userCache, false},
    {".cache/session.lock", userCache, false},
    {".cache/mozilla/extensions", userCache, false},
    {".cache/nvidia/OptixCache", userCache, false},
    {".cache/huggingface/datasets", userCache, false},
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
    {"code/old/crate/target", "Cargo.toml", true},
    {"code/old/javaapp/target", "pom.xml", true},
    {"code/old/android/build", "build.gradle.kts", true},
    {"code/old/android/.gradle", "build.gradle.kts", true},
    {"code/old/native/out", "CMakeLists.txt", true},
    {"code/old/py/__pycache__", "pyproject.toml", true},
    {"code/old/py/src/tool/__pycache__", "__init__.py", true}, // below the project's own folder
    {"code/old/py/.pytest_cache", "pyproject.toml", true},
    {"code/old/py/.mypy_cache", "pyproject.toml", true},
    {"code/old/py/.ruff_cache", "pyproject.toml", true},
    {"code/old/py/.tox", "pyproject.toml", true},
    {"code/old/py/.nox", "pyproject.toml", true},
    {"code/old/py/.venv", "pyproject.toml", false},
    {"code/old/scripts/venv", "requirements.txt", false},
    {"code/old/site/.next", "next.config.js", true},
    {"code/old/shop/.nuxt", "nuxt.config.ts", true},
    {"code/old/spa/dist", "vite.config.ts", true},
    {"code/old/game/Library", "ProjectSettings/ProjectVersion.txt", true},
    {"code/old/godot/.godot", "project.godot", true},
    {".dotfiles/tool/node_modules", "package.json", true}, // a hidden folder people keep code in
    {"code/new/crate/target", "Cargo.toml", false},
    {"code/new/setup/__pycache__", "setup.py", false},
};

const std::vector<std::string> protectedFileList = {
    ".config/google-chrome/Local State",
    ".config/google-chrome/Default/Cookies",
    ".config/google-chrome/Default/History",
    ".config/google-chrome/Default/Login Data",
    ".config/google-chrome/Default/Preferences",
    ".config/google-chrome/Default/Network Persistent State",
    ".config/google-chrome/Default/Local Storage/leveldb/000003.log",
    ".config/chromium/Default/Cookies",
    ".config/chromium/Default/History",
    ".config/Slack/Cookies",
    ".config/Slack/Local Storage/leveldb/000003.log",
    ".config/discord/Cookies",
    ".config/discord/Session Storage/000003.log",
    ".config/Code/User/settings.json",
    ".mozilla/firefox/p.default/places.sqlite",
    ".mozilla/firefox/p.default/cookies.sqlite",
    ".mozilla/firefox/p.default/logins.json",
    ".mozilla/firefox/p.default/key4.db",
    ".var/app/org.mozilla.firefox/.mozilla/firefox/p/logins.json",
    "snap/firefox/common/.mozilla/firefox/p/key4.db",
    ".local/share/keyrings/login.keyring",
    ".ssh/id_ed25519",
    ".gnupg/private-keys-v1.d/k.key",
    ".config/gcloud/credentials.db",
    ".cache/huggingface/token",
    ".bash_history",
    ".local/share/recently-used.xbel",
};

void writeText(const TempTree &tree, const std::string &relative, const std::string &text) {
  tree.makeDirectory(relative.substr(0, relative.rfind('/')));
  std::ofstream(tree.path(relative)) << text;
}

} // namespace

std::string parentOf(const std::string &path) { return path.substr(0, path.rfind('/')); }

LinuxFakeHome::LinuxFakeHome() : rows_(fixedRows), protectedFiles_(protectedFileList) {
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

} // namespace quillane::test

namespace quillane::test {

void LinuxFakeHome::writeProjects() {
  for (const ProjectRow &project : projectRows)
    tree_.writeFile(parentOf(project.path) + "/" + project.marker, 10);
  tree_.writeFile("code/old/mono/node_modules/a/node_modules/b/index.js", 5000); // inside an artefact: one item
  tree_.writeFile("code/old/native/out/CMakeCache.txt", 10);
  tree_.writeFile("code/old/native/docs/index.md", 10); // beside the build folder, no CMakeCache.txt
  // Lookalikes: an artefact's name without its marker, or beside another
  // tool's marker, in a hidden folder, or reached through a link.
  for (const std::string &lookalike : lookalikeArtefacts())
    if (!lookalike.starts_with("code/old/linked/"))
      tree_.writeFile(lookalike + "/file", 4096);
  tree_.writeFile("code/old/loose/README.md", 10);
  tree_.writeFile("code/old/notrust/package.json", 10);
  tree_.writeFile(".hidden-work/app/package.json", 10);
  tree_.writeFile(".hidden-work/app/node_modules/file", 4096);
  tree_.makeSymlink("code/old/linked", "../../.hidden-work/app");
  tree_.makeSymlink("code/old/fake/package.json", "../../../.hidden-work/app/package.json");
  runCommand("find " + shellQuote(path("code/old")) + " " + shellQuote(path(".dotfiles")) +
             " -exec touch -h -d '60 days ago' {} +");
}

std::vector<std::string> LinuxFakeHome::lookalikeArtefacts() {
  return {"code/old/loose/node_modules",  "code/old/loose/dist",        "code/old/notrust/target",
          "code/old/fake/node_modules",   "code/old/loose/__pycache__", "code/old/linked/node_modules"};
}

} // namespace quillane::test
