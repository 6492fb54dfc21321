// The user's folders as read from the process, checked against the password
// database as getent reports it wherever the environment gives nothing usable.
#include "TarnwickCore/Support/UserEnvironment.h"
#include "TestSupport/ScopedVariable.h"
#include "TestSupport/TempTree.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace tarnwick {
namespace {

using quillane::test::runCommand;
using quillane::test::setVariable;

std::string passwordDatabaseHome() {
  const std::string home = runCommand("getent passwd " + std::to_string(::getuid()) + " | cut -d: -f6 | tr -d '\\n'");
  return home.starts_with('/') ? home : "/";
}

TEST(UserEnvironmentTest, OnlyAbsoluteSettingsAreTaken) {
  const std::string database = passwordDatabaseHome();
  struct Case {
    const char *home;
    const char *dataHome;
    std::string expectedHome;
    std::string expectedDataHome;
  };
  const Case cases[] = {
      {"/home/ann", nullptr, "/home/ann", "/home/ann/.local/share"},
      {"/home/ann/", "/srv/data", "/home/ann/", "/srv/data"},
      {"/home/ann", "relative/share", "/home/ann", "/home/ann/.local/share"},
      {"/home/ann", "", "/home/ann", "/home/ann/.local/share"}, {"/", nullptr, "/", "/.local/share"},
      // Never resolved against the working folder: the password database's.
      {"relative/home", nullptr, database, database + "/.local/share"}, {"", "/srv/data", database, "/srv/data"},
      {nullptr, nullptr, database, database + "/.local/share"},
  };
  for (const Case &c : cases) {
    const auto home = setVariable("HOME", c.home);
    const auto dataHome = setVariable("XDG_DATA_HOME", c.dataHome);
    const UserEnvironment user = UserEnvironment::fromProcess();
    EXPECT_EQ(user.homeDirectory, c.expectedHome) << (c.home ? c.home : "(unset)");
    EXPECT_EQ(user.dataHome, c.expectedDataHome) << (c.dataHome ? c.dataHome : "(unset)");
  }
}

// Each folder takes its own setting, or its own default when that is unset
// or relative.
TEST(UserEnvironmentTest, EachFolderTakesItsOwnSetting) {
  struct Case {
    const char *dataHome, *cacheHome, *configHome;
    UserEnvironment expected;
  };
  const Case cases[] = {
      {"/srv/data", "relative", nullptr, {"/home/ann", "/srv/data", "/home/ann/.cache", "/home/ann/.config"}},
      {"", "/srv/cache", "/srv/config", {"/home/ann", "/home/ann/.local/share", "/srv/cache", "/srv/config"}},
      {nullptr, nullptr, "relative", {"/home/ann", "/home/ann/.local/share", "/home/ann/.cache", "/home/ann/.config"}},
  };
  const auto home = setVariable("HOME", "/home/ann");
  for (const Case &c : cases) {
    const auto dataHome = setVariable("XDG_DATA_HOME", c.dataHome);
    const auto cacheHome = setVariable("XDG_CACHE_HOME", c.cacheHome);
    const auto configHome = setVariable("XDG_CONFIG_HOME", c.configHome);
    const UserEnvironment user = UserEnvironment::fromProcess();
    EXPECT_EQ(user.dataHome, c.expected.dataHome);
    EXPECT_EQ(user.cacheHome, c.expected.cacheHome);
    EXPECT_EQ(user.configHome, c.expected.configHome);
  }
}

} // namespace
} // namespace tarnwick
