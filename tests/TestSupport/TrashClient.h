#pragma once

#include "TestSupport/TempTree.h"

#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <unistd.h>

namespace quillane::test {

/// Mounting, and trashes of other users, are tried as root only.
inline bool isRoot() { return ::geteuid() == 0; }
inline bool contains(const std::string &text, const std::string &part) { return text.find(part) != std::string::npos; }

/// `command` run by the shell in `home`, with `home` as the user's home and
/// `dataHome` as the data folder, so a Trash client (trash-cli, quillane)
/// uses the Trash in `dataHome`.
inline std::string runAtHome(const std::string &home, const std::string &dataHome, const std::string &command,
                             int *status = nullptr) {
  return runCommand("cd " + shellQuote(home) + " && export HOME=" + shellQuote(home) +
                        " XDG_DATA_HOME=" + shellQuote(dataHome) + "; " + command,
                    status);
}

/// (original path, deletion date as YYYY-MM-DDTHH:MM:SS) of each item
/// trash-list shows from below `under`: it lists every mounted file
/// system's trash too.
inline std::set<std::pair<std::string, std::string>> trashCliItems(const std::string &home, const std::string &dataHome,
                                                                   const std::string &under) {
  std::set<std::pair<std::string, std::string>> items;
  std::istringstream lines(runAtHome(home, dataHome, "trash-list 2>/dev/null"));
  for (std::string line; std::getline(lines, line);)
    if (line.size() > 20 && line.substr(20).starts_with(under + "/"))
      items.emplace(line.substr(20), line.substr(0, 10) + "T" + line.substr(11, 8));
  return items;
}

} // namespace quillane::test
