// The session names that browser cache items keep: CreatorCacheScanner's
// isProtectedSessionName and strictlyProtectedSessionFilenames.
#include "TarnwickCore/Catalogue/CreatorCacheScanner.h"

#include "TarnwickCore/Support/PathJoin.h"

#include <algorithm>
#include <array>

namespace tarnwick {
namespace {

// Session state of browsers and mail clients: cookies, logins, keys,
// history, open sessions, site storage. Sorted at compile time so a lookup
// needs no allocation: the measurer asks once per entry below every
// browser location.
constexpr auto protectedSessionNames = [] {
  std::array<std::string_view, 58> names = {
      "account web data",   "autofill",           "bookmarks",           "cert9.db",
      "cookies",            "cookies.sqlite",     "current session",     "current tabs",
      "extension cookies",  "favicons",           "favicons.sqlite",     "formhistory.sqlite",
      "history",            "indexeddb",          "key4.db",             "keychain",
      "last session",       "last tabs",          "local extension settings", "local state",
      "local storage",      "login data",         "login data for account", "logins.json",
      "network persistent state", "permissions.sqlite", "places.sqlite", "preferences",
      "secure preferences", "session storage",    "sessions",            "sessionstore-backups",
      "sessionstore.jsonlz4", "shortcuts",        "signons.sqlite",      "storage.sqlite",
      "sync data",          "tokens.dat",         "top sites",           "trust tokens",
      "visited links",      "web data",           "webappsstore.sqlite", "prefs.js",
      "logins-backup.json", "key3.db",            "cert8.db",            "signedinuser.json",
      // The rest of a Firefox profile that would be missed if it ever sat
      // beside a cache: form data, bookmarks, site storage, trust settings.
      "autofill-profiles.json", "bookmarkbackups", "storage",            "cert_override.txt",
      "user.js",            "containers.json",    "extensions.json",     "handlers.json",
      "xulstore.json",      "sitesecurityservicestate.txt",
  };
  std::ranges::sort(names);
  return names;
}();
static_assert(std::ranges::adjacent_find(protectedSessionNames) == protectedSessionNames.end());

// SQLite keeps a database's latest writes beside it: separated from its
// journal or write-ahead log, a kept database can lose committed data.
// A copy the browser set aside as damaged is kept with it too.
constexpr std::array<std::string_view, 4> databaseCompanionSuffixes = {"-journal", "-wal", "-shm", ".corrupt"};

constexpr std::size_t longestProtectedName =
    std::ranges::max(protectedSessionNames, {}, &std::string_view::size).size();

constexpr char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

} // namespace

bool CreatorCacheScanner::isProtectedSessionName(std::string_view name) {
  name = lastPathComponent(name);
  for (std::string_view suffix : databaseCompanionSuffixes) {
    // Compared case-blind like the names: "History-Journal" too.
    if (name.size() > suffix.size() &&
        std::ranges::equal(name.substr(name.size() - suffix.size()), suffix, {}, lowerAscii)) {
      name.remove_suffix(suffix.size());
      break;
    }
  }
  if (name.size() > longestProtectedName)
    return false;
  char lowered[longestProtectedName];
  std::ranges::transform(name, lowered, lowerAscii);
  return std::ranges::binary_search(protectedSessionNames, std::string_view(lowered, name.size()));
}

const std::set<std::string> &CreatorCacheScanner::strictlyProtectedSessionFilenames() {
  // A function-local static: initialised once, safely across threads.
  static const std::set<std::string> names = [] {
    std::set<std::string> all(protectedSessionNames.begin(), protectedSessionNames.end());
    for (std::string_view name : protectedSessionNames)
      for (std::string_view suffix : databaseCompanionSuffixes)
        all.insert(std::string(name) + std::string(suffix));
    return all;
  }();
  return names;
}

} // namespace tarnwick
