// The Trash, checked by a real client: trash-cli must list every item with
// its exact original path and put it back byte for byte.
#include "TarnwickCore/FreedesktopTrash.h"
#include "TestSupport/TempTree.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/mount.h>

namespace tarnwick {
namespace {

using quillane::test::runCommand;
using quillane::test::shellQuote;
using quillane::test::TempTree;

class FreedesktopTrashTest : public ::testing::Test {
protected:
  void SetUp() override {
    if (runCommand("command -v trash-list trash-restore").empty())
      GTEST_SKIP() << "trash-cli is not installed";
  }

  // A trash-cli command run as if `home` were the user's home.
  std::string client(const std::string &command, int *status = nullptr) {
    return runCommand("export HOME=" + shellQuote(home.root()) + " XDG_DATA_HOME=" + shellQuote(dataHome()) + "; " +
                          command + " 2>&1",
                      status);
  }
  std::string dataHome() const { return home.root() + "/.local/share"; }
  std::string contents(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }
  std::size_t records() {
    std::error_code error;
    auto info = std::filesystem::directory_iterator(dataHome() + "/Trash/info", error);
    return error ? 0 : static_cast<std::size_t>(std::distance(info, {}));
  }

  TempTree home;
};

TEST_F(FreedesktopTrashTest, AwkwardNamesRoundTripThroughTheClient) {
  FreedesktopTrash trash(home.root(), dataHome());
  const std::string names[] = {"plain", "with space", "50%25 done", "a#b?c", "ünïcödé", "new\nline"};
  for (const std::string &name : names) {
    home.writeFile("stuff/" + name, 100 + name.size());
    std::string trashed = trash.moveToTrash(home.path("stuff/" + name));
    EXPECT_FALSE(std::filesystem::exists(home.path("stuff/" + name))) << name;
    EXPECT_TRUE(std::filesystem::exists(trashed)) << name;
  }
  const std::string listing = client("trash-list");
  for (const std::string &name : names) {
    if (name.find('\n') == std::string::npos) { // the client's listing is line by line
      EXPECT_NE(listing.find(home.path("stuff/" + name)), std::string::npos) << name << " in\n" << listing;
    }
    client("echo 0 | trash-restore " + shellQuote(home.path("stuff/" + name)));
    EXPECT_EQ(contents(home.path("stuff/" + name)).size(), 100 + name.size()) << name << " was not restored";
  }
  EXPECT_EQ(records(), 0u);
}

TEST_F(FreedesktopTrashTest, CollisionsAndFoldersKeepTheirOwnRecords) {
  FreedesktopTrash trash(home.root(), dataHome());
  home.writeFile("one/report.txt", 10);
  home.writeFile("two/report.txt", 20);
  home.writeFile("folder/inner/deep.bin", 30);
  std::string first = trash.moveToTrash(home.path("one/report.txt"));
  std::string second = trash.moveToTrash(home.path("two/report.txt"));
  EXPECT_NE(first, second);
  trash.moveToTrash(home.path("folder"));
  EXPECT_EQ(records(), 3u);
  client("echo 0 | trash-restore " + shellQuote(home.path("two/report.txt")));
  client("echo 0 | trash-restore " + shellQuote(home.path("folder")));
  EXPECT_EQ(contents(home.path("two/report.txt")).size(), 20u);
  EXPECT_EQ(contents(home.path("folder/inner/deep.bin")).size(), 30u);
  EXPECT_NE(client("trash-list").find(home.path("one/report.txt")), std::string::npos);
}

TEST_F(FreedesktopTrashTest, FailuresLeaveTheItemAndNoRecord) {
  FreedesktopTrash trash(home.root(), dataHome());
  EXPECT_THROW(trash.moveToTrash(home.path("missing")), TrashError);
  EXPECT_EQ(records(), 0u);
}

TEST_F(FreedesktopTrashTest, OtherFileSystemsUseTheirOwnTrash) {
  TempTree mountPoint;
  if (::geteuid() != 0 || ::mount("none", mountPoint.root().c_str(), "tmpfs", 0, "size=4m") != 0)
    GTEST_SKIP() << "cannot mount a scratch file system here";
  std::shared_ptr<void> unmount(nullptr, [&](void *) { ::umount2(mountPoint.root().c_str(), MNT_DETACH); });
  FreedesktopTrash trash(home.root(), dataHome());
  mountPoint.writeFile("sub/away.txt", 40);
  std::string trashed = trash.moveToTrash(mountPoint.path("sub/away.txt"));
  EXPECT_EQ(trashed, mountPoint.path(".Trash-" + std::to_string(::getuid()) + "/files/away.txt"));
  std::ifstream info(mountPoint.path(".Trash-" + std::to_string(::getuid()) + "/info/away.txt.trashinfo"));
  std::string header, pathLine;
  std::getline(info, header);
  std::getline(info, pathLine);
  EXPECT_EQ(pathLine, "Path=sub/away.txt"); // relative to the top directory
  EXPECT_EQ(records(), 0u);                 // nothing in the home trash

  // A read-only file system can hold no trash: refused, item untouched.
  mountPoint.writeFile("kept.txt", 5);
  ASSERT_EQ(::mount("none", mountPoint.root().c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr), 0);
  EXPECT_THROW(trash.moveToTrash(mountPoint.path("kept.txt")), TrashError);
  EXPECT_TRUE(std::filesystem::exists(mountPoint.path("kept.txt")));
  ::mount("none", mountPoint.root().c_str(), nullptr, MS_REMOUNT, nullptr);
}

} // namespace
} // namespace tarnwick
