// `quillane trash` stopped by a signal in the middle of its work.
#include "TarnwickApp/Commands/TrashCommandRun.h"
#include "TarnwickCore/Support/UniqueFd.h"

#include <gtest/gtest.h>

#include <QTest>

#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <set>
#include <vector>
#include <sys/wait.h>

namespace quillane::test {
namespace {

namespace fs = std::filesystem;

// Records without their item, or items without their record, after the
// command was stopped by a signal in the middle of a long run.
std::set<std::string> mismatchedTrashEntries(const TempTree &home) {
  std::set<std::string> files, records, mismatched;
  for (const auto &entry : fs::directory_iterator(home.path(".local/share/Trash/files")))
    files.insert(entry.path().filename().native());
  for (const auto &entry : fs::directory_iterator(home.path(".local/share/Trash/info")))
    if (entry.path().extension() == ".trashinfo")
      records.insert(entry.path().stem().native());
  std::set_symmetric_difference(files.begin(), files.end(), records.begin(), records.end(),
                                std::inserter(mismatched, mismatched.end()));
  return mismatched;
}

TEST(TrashCommandSignal, ASignalFinishesTheItemUnderWayAndLeavesNoOrphans) {
  int interrupted = 0;
  for (int round = 0; round < 4; ++round) {
    TempTree home;
    std::vector<std::string> arguments{"trash"};
    for (int i = 0; i < 1000; ++i) {
      // Appended, since g++ 12 at -O2 warns falsely (-Wrestrict) about "f" + std::string.
      arguments.push_back(home.path(std::string(".cache/many/f").append(std::to_string(i))));
      home.writeFile(arguments.back().substr(home.root().size() + 1), 10);
    }
    const std::string trashed = home.path(".local/share/Trash/files");
    home.makeDirectory(".local/share/Trash/files");
    home.makeDirectory(".local/share/Trash/info");
    const int signal = round % 2 ? SIGINT : SIGTERM;
    SCOPED_TRACE(std::string(strsignal(signal)) + " round " + std::to_string(round));
    const pid_t pid =
        startQuillane(arguments, {}, {"HOME=" + home.root(), "XDG_DATA_HOME=" + home.path(".local/share")});
    ASSERT_GT(pid, 0);
    // The signal comes once the first items are in the Trash, while the
    // rest are still being moved.
    int status = 0;
    pid_t ended = 0;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return !fs::is_empty(trashed) || (ended = ::waitpid(pid, &status, WNOHANG)) != 0; }, 10'000));
    if (ended == 0) {
      ::kill(pid, signal);
      ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    }
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_TRUE(WEXITSTATUS(status) == 0 || WEXITSTATUS(status) == 130) << WEXITSTATUS(status);
    EXPECT_EQ(mismatchedTrashEntries(home), std::set<std::string>());
    const auto count = [](const std::string &folder) {
      return std::distance(fs::directory_iterator(folder), fs::directory_iterator());
    };
    const auto inPlace = count(home.path(".cache/many"));
    EXPECT_EQ(inPlace + count(trashed), 1000);
    interrupted += WEXITSTATUS(status) == 130 && inPlace > 0;
  }
  EXPECT_GT(interrupted, 0) << "no run was interrupted in the middle; the test proved nothing";
}

// A second Ctrl-C while a folder is being removed for good ends the program
// at once; what it had not removed yet is back under its own name, not
// hidden in the private folder it was removed in, and it says so.
TEST(TrashCommandSignal, ASecondSignalDuringARemovalPutsBackWhatIsLeftAndSaysSo) {
  TempTree home;
  // Enough names to take a while to remove: hard links, quick to make.
  home.writeFile("big/tree/file", 10);
  for (int folder = 0; folder < 40; ++folder) {
    const std::string name = "big/tree/d" + std::to_string(folder);
    home.makeDirectory(name);
    for (int link = 0; link < 1000; ++link)
      ASSERT_EQ(::link(home.path("big/tree/file").c_str(), home.path(name + "/" + std::to_string(link)).c_str()), 0);
  }
  home.writeFile("big/beside", 10);
  const tarnwick::UniqueFd errors(::open(home.path("errors").c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644));
  const pid_t pid = startQuillane({"trash", "--permanent", home.path("big/tree")}, {},
                                  {"HOME=" + home.root(), "XDG_DATA_HOME=" + home.path(".local/share")}, -1,
                                  errors.get());
  ASSERT_GT(pid, 0);
  const auto privateFolders = [&] {
    return std::ranges::count_if(fs::directory_iterator(home.path("big")), [](const fs::directory_entry &entry) {
      return entry.path().filename().native().starts_with(".quillane-removing-");
    });
  };
  int status = 0;
  pid_t ended = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (privateFolders() == 0 && (ended = ::waitpid(pid, &status, WNOHANG)) == 0 &&
         std::chrono::steady_clock::now() < deadline)
    ::usleep(200);
  ASSERT_EQ(ended, 0) << "the removal ended before it could be interrupted: the tree is too small to test this";
  ::kill(pid, SIGINT);
  // Sent while the first still waits, the second would merge with it.
  EXPECT_TRUE(QTest::qWaitFor([&] { return !signalPending(pid, SIGINT); }, 5000));
  ::kill(pid, SIGINT);
  if (!QTest::qWaitFor([&] { return ::waitpid(pid, &status, WNOHANG) == pid; }, 5000)) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    FAIL() << "two Ctrl-C did not end the program";
  }
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << status;
  EXPECT_TRUE(fs::is_directory(fs::symlink_status(home.path("big/tree"))));
  EXPECT_EQ(privateFolders(), 0);
  EXPECT_TRUE(fs::exists(home.path("big/beside")));
  const std::string said = readFile(home.path("errors"));
  EXPECT_EQ(said, "quillane: cannot remove all of " + home.path("big/tree") +
                      ": interrupted; what is left is back under its name\n");
}

} // namespace
} // namespace quillane::test
