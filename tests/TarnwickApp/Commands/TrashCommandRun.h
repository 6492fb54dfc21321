#pragma once

#include "TarnwickApp/Commands/QuillaneProcess.h"

#include <optional>
#include <string>
#include <unistd.h>

// `quillane trash` run in a scratch home, which is the user's home.
namespace quillane::test {

inline QuillaneRun trash(const TempTree &home, const std::string &arguments) {
  return runQuillaneAtHome(home, "trash " + arguments);
}

// `command` run in the scratch home, with $Q naming quillane.
inline std::string inHome(const TempTree &home, const std::string &command, int *status = nullptr) {
  return runAtHome(home.root(), home.path(".local/share"), "Q=" + shellQuote(QUILLANE_BINARY) + "; " + command,
                   status);
}

// Emptying reaches every trash of the user's on the machine. As root, the
// tests that empty run as a user that no one is, whose only trash is the
// scratch home's (checked first); `run` is prefixed to the command.
inline constexpr const char *stranger = "61234";
inline std::optional<std::string> strangerPrefix(const TempTree &home) {
  if (::geteuid() != 0)
    return std::nullopt;
  runCommand("chown -R " + std::string(stranger) + ":" + stranger + " " + shellQuote(home.root()));
  const std::string prefix = "setpriv --reuid=" + std::string(stranger) + " --regid=" + stranger + " --clear-groups ";
  const auto listing = nlohmann::json::parse(inHome(home, prefix + "$Q trash --list --json 2>/dev/null"));
  for (const auto &folder : listing.at("trashDirectories"))
    if (!folder.get<std::string>().starts_with(home.root() + "/"))
      return std::nullopt;
  return prefix;
}

} // namespace quillane::test
