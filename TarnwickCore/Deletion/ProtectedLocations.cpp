#include "TarnwickCore/Deletion/ProtectedLocations.h"

#include <algorithm>
#include <cstdlib>
#include <array>

namespace tarnwick {
namespace {

using enum Protection;

// The personal folders guard only themselves; everything with a dot, and
// the cloud and keychain folders, guard their whole subtree.
constexpr auto homeEntries = std::to_array<ProtectedEntry>({
    {"", itself},
    {"Documents", itself},
    {"Desktop", itself},
    {"Pictures", itself},
    {"Movies", itself},
    {"Videos", itself},
    {"Music", itself},
    {"Downloads", itself},
    {"Public", itself},
    {"Templates", itself},
    {"Library", itself},
    {".ssh", subtree},
    {".gnupg", subtree},
    {".aws", subtree},
    {".kube", subtree},
    {".config", profile},
    {".zshrc", subtree},
    {".bash_profile", subtree},
    {".bashrc", subtree},
    {".profile", subtree},
    {"Library/CloudStorage", subtree},
    {"Library/Application Support/FileProvider", subtree},
    {"Library/Mobile Documents", itself},
    {"Library/Keychains", subtree},
    {"Library/Preferences", itself},
    // Credentials and keys.
    {".netrc", subtree},
    {".git-credentials", subtree},
    {".docker/config.json", subtree},
    {".azure", subtree},
    {".config/gcloud", subtree},
    {".local/share/keyrings", subtree},
    {".local/share/kwalletd", subtree},
    {".password-store", subtree},
    {".pki", subtree},
    {".cache/huggingface/token", subtree},
    {".cache/huggingface/stored_tokens", subtree},
    // Wallets.
    {".electrum", subtree},
    {".bitcoin", subtree},
    {".ethereum/keystore", subtree},
    // Browser and mail profiles outside ~/.config.
    {".mozilla", subtree},
    {".thunderbird", subtree},
    {".local/share/evolution", subtree},
    {".local/share/geary", subtree},
    {".local/share/epiphany", subtree},
    {".local/share/torbrowser", subtree},
});

// An application's own home: its dot folders as above, its XDG folders
// under the names Flatpak gives them, and the Chromium snap's profile.
constexpr auto appEntries = std::to_array<ProtectedEntry>({
    {".ssh", subtree},
    {".gnupg", subtree},
    {".aws", subtree},
    {".kube", subtree},
    {".azure", subtree},
    {".netrc", subtree},
    {".git-credentials", subtree},
    {".docker/config.json", subtree},
    {".password-store", subtree},
    {".pki", subtree},
    {".electrum", subtree},
    {".bitcoin", subtree},
    {".ethereum/keystore", subtree},
    {".mozilla", subtree},
    {".thunderbird", subtree},
    {".config", profile},
    {".config/gcloud", subtree},
    {".local/share/keyrings", subtree},
    {".local/share/kwalletd", subtree},
    {".local/share/evolution", subtree},
    {".local/share/geary", subtree},
    {".local/share/epiphany", subtree},
    {".local/share/torbrowser", subtree},
    {"config", profile},
    {"config/gcloud", subtree},
    {"data/keyrings", subtree},
    {"data/kwalletd", subtree},
    {"data/evolution", subtree},
    {"data/geary", subtree},
    {"data/epiphany", subtree},
    {"data/torbrowser", subtree},
    {"chromium", profile},
});

// Folders that Chromium, Electron and their kin rebuild when missing.
constexpr auto cacheFolderNames = std::to_array<std::string_view>({
    "Cache", "cache", "CacheStorage", "CachedData", "CachedExtensionVSIXs", "Code Cache", "DawnCache",
    "DawnGraphiteCache", "DawnWebGPUCache", "GPUCache", "GrShaderCache", "GraphiteDawnCache", "ScriptCache",
    "ShaderCache",
});

// The two folders whose children are application homes, and how many
// components below home an application home sits.
struct AppHomeRoot {
  std::string_view relativePath;
  std::size_t depth; // components from home to an application's home
};
constexpr AppHomeRoot snapRoot{"snap", 3};         // snap/APP/REVISION
constexpr AppHomeRoot flatpakRoot{".var/app", 3};  // .var/app/APP-ID

bool isAtOrBelow(std::string_view path, std::string_view root) {
  if (root.empty())
    return true;
  return path == root || (path.size() > root.size() && path.starts_with(root) && path[root.size()] == '/');
}

// `relative` below `entry`'s location, or nothing when it is not there.
std::optional<std::string_view> below(std::string_view relative, std::string_view location) {
  if (!isAtOrBelow(relative, location))
    return std::nullopt;
  if (location.empty())
    return relative;
  return relative.size() == location.size() ? std::string_view() : relative.substr(location.size() + 1);
}

bool refuses(const ProtectedEntry &entry, std::string_view relative) {
  const std::optional<std::string_view> rest = below(relative, entry.relativePath);
  if (!rest)
    return false;
  if (rest->empty())
    return true;
  switch (entry.protection) {
  case itself:
    return false;
  case subtree:
    return true;
  case profile:
    return !ProtectedLocations::isInsideCacheFolder(*rest);
  }
  return true;
}

std::optional<std::string_view> refusingEntry(std::span<const ProtectedEntry> table, std::string_view relative) {
  for (const ProtectedEntry &entry : table)
    if (refuses(entry, relative))
      return entry.relativePath;
  return std::nullopt;
}

// The first `count` components of `relative`, or nothing if it has fewer.
std::optional<std::string_view> leadingComponents(std::string_view relative, std::size_t count) {
  std::size_t end = 0;
  for (std::size_t i = 0; i < count; ++i) {
    if (i > 0 && end++ >= relative.size())
      return std::nullopt;
    const auto slash = relative.find('/', end);
    end = slash == std::string_view::npos ? relative.size() : slash;
  }
  return relative.substr(0, end);
}

std::string joined(std::string_view base, std::string_view relative) {
  std::string path(base);
  if (!relative.empty()) {
    if (path != "/")
      path += '/';
    path += relative;
  }
  return path;
}

void addExisting(ProtectedSnapshot &snapshot, const MountTable *mounts, const std::string &path,
                 Protection protection, const GuardFileFacts &files) {
  const std::optional<FileIdentity> identity = files.identity(path);
  if (!identity)
    return;
  // Through links to where it really is, then to its places in file
  // systems, through the very mount that shows it.
  const std::string real = files.canonicalPath(path).value_or(path);
  const std::optional<GuardFileFacts::LinkStatus> status = files.linkStatus(real);
  std::vector<FileSystemLocation> places;
  if (mounts)
    places = mounts->placesOf(real, status ? status->mountId : 0);
  if (places.empty()) // no mount found for it: compared by its real path alone
    places.push_back({0, 0, real});
  snapshot.locations.push_back({path, protection, *identity, std::move(places)});
}

// The inside of a shell double-quoted string: a backslash makes the next
// ", \, $ or ` literal. ("$HOME" stays as written: the caller expands it.)
std::string shellUnquoted(std::string_view quoted) {
  std::string text;
  for (std::size_t i = 0; i < quoted.size(); ++i) {
    const bool escape = quoted[i] == '\\' && i + 1 < quoted.size() &&
                        std::string_view("\"\\$`").find(quoted[i + 1]) != std::string_view::npos;
    text.push_back(escape ? quoted[++i] : quoted[i]);
  }
  return text;
}

std::string_view withoutBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
    text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
    text.remove_suffix(1);
  return text;
}

// The values a user-dirs line may mean, as the desktop libraries read it:
// XDG_NAME_DIR = "value" # comment, with blanks around "=" and anything
// after the closing quote; or unquoted, which some readers take whole and
// the shell up to the first blank (both are protected). None for any other
// line.
std::vector<std::string> userDirectoryValues(std::string_view line) {
  line = withoutBlanks(line);
  const auto equals = line.find('=');
  if (!line.starts_with("XDG_") || equals == std::string_view::npos)
    return {};
  const std::string_view value = withoutBlanks(line.substr(equals + 1));
  if (!value.starts_with('"'))
    return {std::string(value), std::string(value.substr(0, value.find_first_of(" \t")))};
  std::size_t close = 1;
  while (close < value.size() && value[close] != '"')
    close += value[close] == '\\' ? 2 : 1;
  if (close >= value.size())
    return {};
  return {shellUnquoted(value.substr(1, close - 1))};
}

// A user-dirs value as a folder: "$HOME/folder" or "/absolute/folder";
// nothing for "$HOME/" alone (the home folder, protected anyway) or for
// names with "." or ".." components, which are not the desktop's.
std::optional<std::string> userDirectoryFolder(const std::string &home, const std::string &value) {
  std::string folder;
  if (value.starts_with("$HOME/"))
    folder = joined(home, std::string_view(value).substr(6));
  else if (value.starts_with('/'))
    folder = value;
  if (folder.empty() || folder.find("/./") != std::string::npos || folder.find("/../") != std::string::npos ||
      folder.ends_with("/.") || folder.ends_with("/.."))
    return std::nullopt;
  while (folder.size() > 1 && folder.back() == '/')
    folder.pop_back();
  return folder;
}

// The personal folders the desktop names in user-dirs.dirs (in ~/.config,
// and in $XDG_CONFIG_HOME when that is set elsewhere), in the user's
// language ("Dokumente", "Téléchargements"…): lines of the form
// XDG_NAME_DIR="$HOME/folder" or XDG_NAME_DIR="/absolute/folder".
std::vector<std::string> userDirectories(const std::string &home, const GuardFileFacts &files) {
  std::vector<std::string> folders;
  std::string text = files.readSmallFile(joined(home, ".config/user-dirs.dirs")).value_or("");
  if (const char *config = std::getenv("XDG_CONFIG_HOME"); config && config[0] == '/')
    text += "\n" + files.readSmallFile(joined(config, "user-dirs.dirs")).value_or("");
  for (std::string_view rest = text; !rest.empty();) {
    const auto end = rest.find('\n');
    const std::string_view line = rest.substr(0, end);
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    for (const std::string &value : userDirectoryValues(line))
      if (std::optional<std::string> folder = userDirectoryFolder(home, value))
        folders.push_back(std::move(*folder));
  }
  return folders;
}

// Everything protected in one home folder: its own table, every snap and
// Flatpak application's home in it, and the desktop's personal folders.
void addHome(ProtectedSnapshot &snapshot, const MountTable *table, const std::string &home,
             const GuardFileFacts &files) {
  for (const ProtectedEntry &entry : homeEntries)
    addExisting(snapshot, table, joined(home, entry.relativePath), entry.protection, files);
  auto addAppHome = [&](const std::string &appHome) {
    for (const ProtectedEntry &entry : appEntries)
      addExisting(snapshot, table, joined(appHome, entry.relativePath), entry.protection, files);
  };
  const std::string snaps = joined(home, snapRoot.relativePath);
  for (const std::string &app : files.folderNames(snaps))
    for (const std::string &revision : files.folderNames(joined(snaps, app)))
      addAppHome(joined(joined(snaps, app), revision));
  const std::string flatpaks = joined(home, flatpakRoot.relativePath);
  for (const std::string &app : files.folderNames(flatpaks))
    addAppHome(joined(flatpaks, app));
  for (const std::string &folder : userDirectories(home, files))
    addExisting(snapshot, table, folder, itself, files);
}

} // namespace

std::span<const ProtectedEntry> ProtectedLocations::homeTable() { return homeEntries; }

std::span<const ProtectedEntry> ProtectedLocations::appTable() { return appEntries; }

bool ProtectedLocations::isInsideCacheFolder(std::string_view relative) {
  for (std::size_t start = 0; start <= relative.size();) {
    const auto slash = relative.find('/', start);
    const std::string_view component =
        relative.substr(start, slash == std::string_view::npos ? std::string_view::npos : slash - start);
    if (std::ranges::find(cacheFolderNames, component) != cacheFolderNames.end())
      return true;
    if (slash == std::string_view::npos)
      break;
    start = slash + 1;
  }
  return false;
}

std::optional<std::string> ProtectedLocations::protectorOf(std::string_view target, std::string_view home) {
  const std::optional<std::string_view> relative = below(target, home == "/" ? std::string_view() : home);
  if (!relative)
    return std::nullopt;
  if (auto entry = refusingEntry(homeEntries, *relative))
    return joined(home, *entry);
  for (const AppHomeRoot &root : {snapRoot, flatpakRoot}) {
    if (!isAtOrBelow(*relative, root.relativePath))
      continue;
    const std::optional<std::string_view> appHome = leadingComponents(*relative, root.depth);
    if (!appHome || appHome->size() == relative->size())
      continue;
    const std::string_view inApp = relative->substr(appHome->size() + 1);
    if (auto entry = refusingEntry(appEntries, inApp))
      return joined(joined(home, *appHome), *entry);
  }
  return std::nullopt;
}

bool ProtectedLocations::isCacheInsideProfile(std::string_view target, std::string_view home) {
  const std::optional<std::string_view> relative = below(target, home == "/" ? std::string_view() : home);
  if (!relative || protectorOf(target, home))
    return false;
  auto insideProfile = [](std::span<const ProtectedEntry> table, std::string_view path) {
    return std::ranges::any_of(table, [path](const ProtectedEntry &entry) {
      return entry.protection == profile && isAtOrBelow(path, entry.relativePath) && path != entry.relativePath;
    });
  };
  if (insideProfile(homeEntries, *relative))
    return true;
  for (const AppHomeRoot &root : {snapRoot, flatpakRoot}) {
    const std::optional<std::string_view> appHome = leadingComponents(*relative, root.depth);
    if (isAtOrBelow(*relative, root.relativePath) && appHome && appHome->size() < relative->size() &&
        insideProfile(appEntries, relative->substr(appHome->size() + 1)))
      return true;
  }
  return false;
}

ProtectedSnapshot ProtectedLocations::snapshot(const std::string &home, const GuardFileFacts &files) {
  ProtectedSnapshot snapshot;
  const std::optional<MountTable> mounts = files.mountTable();
  snapshot.mountsKnown = mounts.has_value();
  const MountTable *table = mounts ? &*mounts : nullptr;
  std::vector<std::string> homes = {home};
  if (auto account = files.accountHome(); account && account->starts_with('/') && *account != home)
    homes.push_back(std::move(*account));
  for (const std::string &someHome : homes)
    addHome(snapshot, table, someHome, files);
  return snapshot;
}

} // namespace tarnwick
