// The Trash, checked on its records, by a real client (trash-cli lists items
// with their original path and date) and against hostile layouts that must
// never receive an item.
#include "TarnwickCore/Deletion/FreedesktopTrash.h"
#include "TarnwickCore/Deletion/GuardFileFacts.h"
#include "TarnwickCore/Deletion/TrashInfoText.h"
#include "TarnwickCore/Support/ScopeExit.h"
#include "TarnwickCore/Support/UniqueFd.h"
#include "TestSupport/ScopedMount.h"
#include "TestSupport/TempTree.h"
#include "TestSupport/TrashClient.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <filesystem>
#include <iomanip>
#include <set>
#include <regex>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>

namespace tarnwick {
namespace {

using namespace quillane::test;
namespace fs = std::filesystem;

std::string uid() { return std::to_string(::getuid()); }
// The record of an item trashed to TRASH/files/NAME, read by the reader
// whose own test pins it against records as clients write them.
TrashInfoText recordOf(const std::string &trashed) {
  const std::string record = std::regex_replace(trashed, std::regex("/files/([^/]*)$"), "/info/$1.trashinfo");
  return TrashInfoText::parse(readFile(record)).value();
}
std::string found(const std::string &root, const std::string &tests) {
  return runCommand("find " + shellQuote(root) + " -mindepth 1 " + tests + " 2>/dev/null");
}
class FreedesktopTrashTest : public ::testing::Test {
protected:
  void SetUp() override {
    if (runCommand("command -v trash-list trash-restore").empty())
      GTEST_SKIP() << "trash-cli is not installed";
  }
  std::string client(const std::string &command) { return runAtHome(home.root(), dataHome(), command + " 2>&1"); }
  auto listed() { return trashCliItems(home.root(), dataHome(), home.root()); }
  long records() const { return std::ranges::count(found(homeTrash() + "/info", "-name '*.trashinfo'"), '\n'); }
  std::string dataHome() const { return home.path(".local/share"); }
  std::string homeTrash() const { return home.path(".local/share/Trash"); }

  TempTree home;
  FreedesktopTrash trash{home.root(), home.path(".local/share")};
};

TEST_F(FreedesktopTrashTest, OddNamesKeepTheirNameAndExactOriginalPath) {
  std::string longUtf8;
  for (int i = 0; i < 127; ++i)
    longUtf8 += "é"; // 255 bytes with "x": a plain cut would end in half an "é"
  longUtf8 += "x";
  const std::string names[] = {"plain",          " spaced out ", "50%25 done", "a#b?c",  "new\nline",
                               "ends in newline\n", "bad\xff\xfeutf8", std::string(255, 'n'), longUtf8};
  const std::time_t before = std::time(nullptr);
  std::set<std::pair<std::string, std::string>> recorded; // (original path, date)
  for (const std::string &name : names) {
    const std::string original = home.path("stuff/" + name);
    home.writeFile("stuff/" + name, 100 + name.size());
    const std::string trashed = trash.moveToTrash(original).value(), kept = fs::path(trashed).filename();
    EXPECT_FALSE(fs::exists(original)) << name;
    EXPECT_EQ(readFile(trashed).size(), 100 + name.size()) << name;
    // Its own name, or when that leaves no room for ".trashinfo" a prefix
    // that stops between characters.
    EXPECT_TRUE(kept == name || (name.size() > 245 && kept.size() <= 245 && name.starts_with(kept) &&
                                 (name[kept.size()] & 0xC0) != 0x80))
        << kept;
    const TrashInfoText record = recordOf(trashed);
    const std::string date = record.deletionDate;
    EXPECT_EQ(record.path, original);
    std::tm local{};
    std::istringstream(date) >> std::get_time(&local, "%Y-%m-%dT%H:%M:%S");
    local.tm_isdst = -1;
    EXPECT_TRUE(std::regex_match(date, std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d)")) &&
                std::abs(std::difftime(std::mktime(&local), before)) <= 5)
        << date << " is not the local time now";
    recorded.emplace(original, date);
  }
  // The client lists line by line and decodes invalid UTF-8 to U+FFFD, so
  // those names are checked on the record alone.
  const auto items = listed();
  for (const auto &item : recorded)
    EXPECT_TRUE(item.first.find_first_of("\n\xff") != std::string::npos || items.contains(item)) << item.first;
  // It puts back even a name with a newline, byte for byte.
  client("echo 0 | trash-restore " + shellQuote(home.path("stuff/new\nline")));
  EXPECT_EQ(readFile(home.path("stuff/new\nline")).size(), 108u);
}

TEST_F(FreedesktopTrashTest, RecordsAppearWholeAndNothingIsReplaced) {
  home.writeFile(".local/share/Trash/files/report.txt", 7); // a stray entry without a record
  home.makeDirectory(".local/share/Trash/info");
  const std::string stray = readFile(homeTrash() + "/files/report.txt");
  for (const auto &[file, bytes] : {std::pair{"one/report.txt", 10}, {"two/report.txt", 20}, {"folder/inner/deep.bin", 30}})
    home.writeFile(file, bytes);
  home.makeSymlink("shortcut", "folder/inner");

  const UniqueFd events(::inotify_init1(IN_CLOEXEC | IN_NONBLOCK));
  ::inotify_add_watch(events.get(), (homeTrash() + "/info").c_str(), IN_CREATE | IN_MODIFY | IN_CLOSE_WRITE | IN_MOVED_TO);
  ASSERT_TRUE(trash.moveToTrash(home.path("one/report.txt")));
  std::vector<std::string> temporaries;
  alignas(inotify_event) char buffer[16384];
  for (ssize_t got = ::read(events.get(), buffer, sizeof buffer), at = 0; at < got;) {
    const auto *event = reinterpret_cast<const inotify_event *>(buffer + at);
    const std::string name = event->name;
    if (name.ends_with(".trashinfo")) { // published by rename, never written in place
      EXPECT_EQ(event->mask, IN_MOVED_TO) << name;
    } else if (event->mask & IN_CREATE) {
      temporaries.push_back(name);
    }
    at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
  }
  ASSERT_FALSE(temporaries.empty());

  // A run killed before publishing leaves its temporary: it blocks nothing
  // and no client takes it for a record.
  for (const std::string &name : temporaries)
    home.writeFile(".local/share/Trash/info/" + name, 9);
  ASSERT_TRUE(trash.moveToTrash(home.path("two/report.txt")));
  EXPECT_EQ(readFile(homeTrash() + "/files/report.txt"), stray);
  // A link is trashed as the link; the caller may hold the folder open.
  UniqueFd folder(::open(home.root().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  EXPECT_TRUE(fs::is_symlink(trash.moveToTrash(folder.get(), "shortcut", home.path("shortcut")).value()));
  ASSERT_TRUE(trash.moveToTrash(folder.get(), "folder", home.path("folder")));
  std::set<std::string> listedPaths;
  for (const auto &item : listed())
    listedPaths.insert(item.first);
  EXPECT_EQ(records(), 4);
  EXPECT_EQ(listedPaths, (std::set<std::string>{home.path("one/report.txt"), home.path("two/report.txt"),
                                                home.path("shortcut"), home.path("folder")}));
}

TEST_F(FreedesktopTrashTest, ItemsInTheTrashAndMissingItemsStayPut) {
  for (const char *file : {"dir/inner/x", "y", "kept/inner"})
    home.writeFile(file, 5);
  home.makeSymlink("via-link", "kept"); // no link on the path is followed
  ASSERT_TRUE(trash.moveToTrash(home.path("dir")));
  ASSERT_TRUE(trash.moveToTrash(home.path("y")));
  const std::string t = homeTrash();
  for (const std::string &path : {t, t + "/files", t + "/info", t + "/files/dir", t + "/files/dir/inner/x",
                                  t + "/files/y", t + "/info/y.trashinfo", home.path("missing"),
                                  home.path("via-link/inner"), home.path(".local")}) {
    const bool existed = fs::exists(path);
    const Result<std::string> moved = trash.moveToTrash(path);
    ASSERT_FALSE(moved) << path << " was moved";
    EXPECT_NE(moved.failure().message().find(path), std::string::npos) << moved.failure().message();
    EXPECT_EQ(fs::exists(path), existed) << path;
  }
  EXPECT_EQ(records(), 2);

  // A bind mount of the home is another path to the same trash, and another
  // mount whose top directory trashes, anyone's, are trashes too.
  if (!isRoot())
    GTEST_SKIP() << "a bind mount needs root";
  for (const char *file : {"z", ".Trash-12345/files/theirs"})
    home.writeFile(file, 1);
  TempTree alias;
  auto bound = ScopedMount::bind(home.root(), alias.root());
  ASSERT_TRUE(bound.mounted());
  const std::string inMountTrash = trash.moveToTrash(alias.path("z")).value();
  for (const std::string &path :
       {alias.path(".local/share/Trash/files/y"), inMountTrash, alias.path(".Trash-12345/files/theirs")}) {
    EXPECT_FALSE(trash.moveToTrash(path)) << path;
    EXPECT_TRUE(fs::exists(path)) << path;
  }
}

// Only the file that was checked goes, and never with a file system
// mounted inside it: either is put back where it was, without a record.
TEST_F(FreedesktopTrashTest, AnotherFileOrAMountInsideIsPutBack) {
  for (const char *file : {"checked", "folder/inner"})
    home.writeFile(file, 5);
  UniqueFd parent(::open(home.root().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  struct stat st;
  ASSERT_EQ(::stat(home.path("folder").c_str(), &st), 0);
  const FileIdentity folder{st.st_dev, st.st_ino};
  EXPECT_FALSE(trash.moveToTrash(parent.get(), "checked", home.path("checked"), folder));
  EXPECT_TRUE(fs::exists(home.path("checked")));
  EXPECT_EQ(records(), 0);
  if (!isRoot())
    GTEST_SKIP() << "mounting needs root";
  home.makeDirectory("folder/mnt");
  auto inside = ScopedMount::tmpfs(home.path("folder/mnt"));
  ASSERT_TRUE(inside.mounted());
  const Result<std::string> moved = trash.moveToTrash(parent.get(), "folder", home.path("folder"), folder);
  ASSERT_FALSE(moved) << "moved with a mount inside";
  EXPECT_NE(moved.failure().message().find("mounted inside it; it was put back"), std::string::npos)
      << moved.failure().message();
  EXPECT_TRUE(fs::exists(home.path("folder/inner")));
  EXPECT_EQ(records(), 0);
}

// Never resolved against the working folder (the process's environment
// reaches here through UserEnvironment, whose own test covers it).
TEST_F(FreedesktopTrashTest, RelativeDataHomeIsIgnored) {
  TempTree work; // the working folder, which must stay untouched
  const ScopeExit restore([folder = fs::current_path()] { fs::current_path(folder); });
  fs::current_path(work.root());
  home.writeFile("b", 1);
  EXPECT_EQ(FreedesktopTrash(home.root(), "relative/share").moveToTrash(home.path("b")).value(),
            homeTrash() + "/files/b");
  EXPECT_EQ(found(work.root(), ""), "");
}

// Trash folders others could reach: the home Trash (checked in the data
// home) and the top directory trashes of another file system (a scratch
// tmpfs), each laid out as an attacker might.
TEST(TrashOwnershipTest, ItemsGoOnlyToTheUsersOwnPrivateTrash) {
  if (!isRoot())
    GTEST_SKIP() << "mounting a scratch file system and giving folders to another user need root";
  struct Layout {
    bool inHome;       // else on the scratch file system
    const char *setup; // run in the data home or the top directory; $U is our uid
    const char *lands; // the trash that takes the item, or none
  } layouts[] = {
      {true, "true", "Trash"}, {true, "ln -s ../../attacker Trash", nullptr},
      {true, "mkdir Trash && chown 12345 Trash", nullptr}, {true, "mkdir -m 0777 Trash", nullptr},
      {true, "mkdir -p Trash/info && ln -s ../../../attacker Trash/files", nullptr},
      {true, "mkdir -p Trash/files Trash/info && chown 12345 Trash/info", nullptr}, {false, "true", ".Trash-$U"},
      {false, "mkdir -m 1777 .Trash", ".Trash/$U"},
      {false, "mkdir -m 0755 .Trash-$U", ".Trash-$U"}, // only readable by others: made private
      {false, "mkdir -m 0777 .Trash", ".Trash-$U"},    // no sticky bit
      {false, "ln -s attacker .Trash", ".Trash-$U"},
      {false, "mkdir -m 1777 .Trash && mkdir .Trash/$U && chown 12345 .Trash/$U", ".Trash-$U"},
      {false, "mkdir .Trash-$U && chown 12345 .Trash-$U", nullptr}, {false, "ln -s attacker .Trash-$U", nullptr},
      {false, "mkdir -m 0777 .Trash-$U", nullptr},
      {false, "mkdir -p .Trash-$U/info && ln -s ../attacker .Trash-$U/files", nullptr},
      {false, "mount -o remount,ro \"$PWD\"", nullptr},
  };
  for (const Layout &layout : layouts) {
    TempTree home, top;
    auto scratch = ScopedMount::tmpfs(top.root());
    ASSERT_TRUE(scratch.mounted()) << "cannot mount a scratch file system";
    const TempTree &tree = layout.inHome ? home : top;
    const std::string where = layout.inHome ? home.path(".local/share") : top.root();
    // A world-writable sticky folder of someone else's: within an attacker's reach.
    runCommand("mkdir -m 1777 " + tree.path("attacker") + " && chown 12345 " + tree.path("attacker"));
    tree.writeFile("sub/item", 9);
    fs::create_directories(where);
    runCommand("cd " + shellQuote(where) + " && U=" + uid() + " && " + layout.setup);
    std::string trashed, error;
    if (Result<std::string> moved = FreedesktopTrash(home.root(), std::nullopt).moveToTrash(tree.path("sub/item")))
      trashed = *moved;
    else
      error = moved.failure().message();
    EXPECT_EQ(found(tree.path("attacker"), ""), "") << layout.setup;
    EXPECT_TRUE(layout.inHome || !fs::exists(home.path(".local/share/Trash"))) << layout.setup;
    if (layout.lands) {
      const std::string folder = where + "/" + std::regex_replace(layout.lands, std::regex("\\$U"), uid());
      EXPECT_EQ(trashed, folder + "/files/item") << layout.setup << ": " << error;
      // Relative to the top directory on another file system.
      EXPECT_EQ(recordOf(trashed).path, layout.inHome ? tree.path("sub/item") : "sub/item");
      EXPECT_EQ(runCommand("stat -c '%a %u' " + shellQuote(folder)), "700 " + uid() + "\n");
    } else {
      EXPECT_TRUE(fs::exists(tree.path("sub/item"))) << layout.setup;
      EXPECT_NE(error.find(where), std::string::npos) << error; // names the folder it refuses
      EXPECT_EQ(found(tree.root(), "-name '*.trashinfo'"), "") << layout.setup;
    }
  }
}

} // namespace
} // namespace tarnwick
