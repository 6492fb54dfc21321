#pragma once

#include "TarnwickCore/Deletion/DeletionGuard.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

// The guard's tests on a file system described by a table, and the helpers
// that ask the guard why it refuses a path.
namespace tarnwick {

using Kind = DeletionGuardError::Kind;
inline const std::string home = "/home/ann";

inline std::string parentOf(const std::string &path) {
  const auto slash = path.rfind('/');
  return slash == 0 ? "/" : path.substr(0, slash);
}

template <typename Map> auto lookup(const Map &map, const std::string &key) {
  const auto found = map.find(key);
  return found == map.end() ? std::nullopt : std::optional(found->second);
}

// A file system described by a table: each listed path exists with its
// parents (as folders), links dangle, and every entry is a file of its
// own unless told to share another's identity.
class TableFacts final : public GuardFileFacts {
public:
  std::map<std::string, LinkStatus> entries;
  std::map<std::string, std::string> realLocations; // a path through a link → where it leads
  std::map<std::string, std::string> fileContents;
  /// mountinfo lines after the root file system's; nothing: no mount table.
  std::optional<std::string> mounts = "";

  void add(const std::string &path, LinkStatus status = {}) {
    status.identity = {1, std::hash<std::string>{}(path)};
    status.owner = ::geteuid();
    entries[path] = status;
    for (std::string folder = parentOf(path); entries.try_emplace(folder).second; folder = parentOf(folder)) {
      entries[folder] = {false, false, true, false, {1, std::hash<std::string>{}(folder)}, 0, ::geteuid()};
      if (folder == "/")
        break;
    }
  }
  void folder(const std::string &path) { add(path, {false, false, true, false, {}, 0, 0}); }
  void sameFileAs(const std::string &path, const std::string &original) {
    folder(path);
    entries[path].identity = entries.at(original).identity;
  }

  bool exists(const std::string &path) const override {
    const std::optional<LinkStatus> status = lookup(entries, path);
    return status && !status->isSymbolicLink;
  }
  std::optional<LinkStatus> linkStatus(const std::string &path) const override { return lookup(entries, path); }
  std::optional<std::string> account; // the password database's home
  std::optional<std::string> accountHome() const override { return account; }
  std::optional<std::string> canonicalPath(const std::string &path) const override {
    return lookup(realLocations, path).value_or(path);
  }
  std::optional<std::string> readSmallFile(const std::string &path) const override {
    return lookup(fileContents, path);
  }
  std::optional<FileIdentity> identity(const std::string &path) const override {
    return exists(path) ? std::optional(entries.at(path).identity) : std::nullopt;
  }
  std::vector<std::string> folderNames(const std::string &path) const override {
    std::vector<std::string> names;
    for (const auto &[entry, status] : entries)
      if (entry != "/" && parentOf(entry) == path)
        names.push_back(entry.substr(entry.rfind('/') + 1));
    return names;
  }
  std::optional<MountTable> mountTable() const override {
    if (!mounts)
      return std::nullopt;
    return MountTable::parse("1 0 8:1 / / rw - ext4 /dev/sda1 rw\n" + *mounts);
  }
};

struct Case {
  std::string path;
  bool confirmed;
  std::optional<Kind> refusal;    // nothing: approved
  const char *reported = nullptr; // the error's path, or the approved path; nothing: `path` itself
  std::string location = {};      // the error's second place
};

// Why the guard refuses `path`; nothing: approved.
inline std::optional<DeletionGuardError> refusalOf(const std::string &path, const GuardFileFacts &files,
                                                   const std::string &homeFolder = home, bool confirmed = true) {
  try {
    DeletionGuard::validateDeletionCandidate(path, homeFolder, confirmed, files);
    return std::nullopt;
  } catch (const DeletionGuardError &error) {
    return error;
  }
}
// The same on the real file system, as (kind, second place).
using Outcome = std::pair<std::optional<Kind>, std::string>;
inline Outcome realRefusal(const std::string &path, const std::string &homeFolder, bool confirmed = true) {
  const std::optional<DeletionGuardError> error = refusalOf(path, GuardFileFacts::system(), homeFolder, confirmed);
  return error ? Outcome(error->kind(), error->location()) : Outcome();
}

inline void expectOutcomes(const std::vector<Case> &cases, const GuardFileFacts &files) {
  for (const Case &c : cases) {
    SCOPED_TRACE(c.path + (c.confirmed ? " (confirmed)" : ""));
    const std::string reported = c.reported ? c.reported : c.path;
    try {
      const std::string approved = DeletionGuard::validateDeletionCandidate(c.path, home, c.confirmed, files);
      EXPECT_FALSE(c.refusal) << "approved " << approved;
      EXPECT_EQ(approved, reported);
    } catch (const DeletionGuardError &error) {
      ASSERT_TRUE(c.refusal) << error.what();
      EXPECT_EQ(error, DeletionGuardError(*c.refusal, reported, c.location)) << error.what();
    }
  }
}

} // namespace tarnwick
