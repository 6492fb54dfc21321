#include "TarnwickApp/Commands/QuillaneProcess.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

namespace quillane::test {
namespace {

namespace fs = std::filesystem;

QuillaneRun trash(const TempTree &home, const std::string &arguments) {
  return runQuillaneAtHome(home, "trash " + arguments);
}

bool contains(const std::string &text, const std::string &part) { return text.find(part) != std::string::npos; }

TEST(TrashCommand, ReportsEachPathAndFailsUnlessAllWereCleaned) {
  TempTree home;
  home.writeFile(".cache/junk", 5000);
  home.writeFile("notes.txt", 10);
  QuillaneRun run = trash(home, shellQuote(home.path(".cache/junk")) + " " + shellQuote(home.path("notes.txt")) + " " +
                                    shellQuote(home.path(".cache/junk")));
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_TRUE(fs::exists(home.path(".local/share/Trash/files/junk")));
  EXPECT_TRUE(fs::exists(home.path(".local/share/Trash/files/notes.txt"))); // confirmed by naming it
  EXPECT_TRUE(contains(run.out, "skipped  " + home.path(".cache/junk") + ": already handled above")) << run.out;
  EXPECT_TRUE(contains(run.out, "3 of 3 cleaned")) << run.out;

  home.writeFile(".ssh/id_rsa", 10);
  run = trash(home, "--permanent " + shellQuote(home.path(".ssh/id_rsa")));
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(contains(run.out, "blocked  " + home.path(".ssh/id_rsa") + ": Deletion rejected: Path '" +
                                    home.path(".ssh/id_rsa") + "' is a protected system or user crown-jewel directory."))
      << run.out;
  EXPECT_TRUE(fs::exists(home.path(".ssh/id_rsa")));
  EXPECT_EQ(trash(home, "").status, 2);

  // A file named like an option among the paths (as a shell pattern gives
  // it) never turns a move into a removal; "--" lets it be named.
  home.writeFile(".cache/many/--permanent", 1);
  home.writeFile(".cache/many/a", 1);
  const std::string many = home.path(".cache/many");
  run.out = runCommand("cd " + shellQuote(many) + " && HOME=" + shellQuote(home.root()) + " XDG_DATA_HOME=" +
                       shellQuote(home.path(".local/share")) + " " + shellQuote(QUILLANE_BINARY) + " trash * 2>&1",
                   &run.status);
  EXPECT_EQ(run.status, 2) << run.out;
  EXPECT_TRUE(fs::exists(home.path(".cache/many/a")));
  run.out = runCommand("cd " + shellQuote(many) + " && HOME=" + shellQuote(home.root()) + " XDG_DATA_HOME=" +
                       shellQuote(home.path(".local/share")) + " " + shellQuote(QUILLANE_BINARY) + " trash -- * 2>&1",
                   &run.status);
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_FALSE(fs::exists(home.path(".cache/many/a")));
  EXPECT_TRUE(fs::exists(home.path(".local/share/Trash/files/a")));
}

// The folders above a secret, and names that differ from a neighbour only
// by white space, given relative to the working folder.
TEST(TrashCommand, NeverReachesPastTheNameGiven) {
  TempTree home;
  home.writeFile(".local/share/keyrings/login.keyring", 10);
  home.writeFile("notes", 10);
  home.writeFile(" notes", 10);
  for (const char *mode : {"", "--permanent "}) {
    QuillaneRun run = trash(home, std::string(mode) + shellQuote(home.path(".local")));
    EXPECT_EQ(run.status, 1) << run.out;
    EXPECT_TRUE(contains(run.out, "contains the protected location '" + home.path(".local/share/keyrings") + "'"))
        << run.out;
    EXPECT_TRUE(fs::exists(home.path(".local/share/keyrings/login.keyring")));
  }
  QuillaneRun run;
  run.out = runCommand("cd " + shellQuote(home.root()) + " && HOME=" + shellQuote(home.root()) + " " +
                           shellQuote(QUILLANE_BINARY) + " trash --permanent ' notes' </dev/null 2>&1",
                       &run.status);
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_FALSE(fs::exists(home.path(" notes")));
  EXPECT_TRUE(fs::exists(home.path("notes")));
}

// A refused path is not measured: reading a folder updates its access time
// when that is older than a day, so an untouched one was never listed.
TEST(TrashCommand, RefusesBeforeMeasuring) {
  TempTree home;
  home.writeFile(".local/share/keyrings/login.keyring", 10);
  home.writeFile(".local/share/big/inner/file", 10);
  runCommand("touch -a -d '3 days ago' " + shellQuote(home.path(".local/share/big/inner")));
  const std::string before = runCommand("stat -c %X " + shellQuote(home.path(".local/share/big/inner")));
  QuillaneRun run = trash(home, shellQuote(home.path(".local")));
  EXPECT_EQ(run.status, 1) << run.out;
  EXPECT_EQ(runCommand("stat -c %X " + shellQuote(home.path(".local/share/big/inner"))), before);
}

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

TEST(TrashCommand, ASignalFinishesTheItemUnderWayAndLeavesNoOrphans) {
  int interrupted = 0;
  for (int round = 0; round < 4; ++round) {
    TempTree home;
    std::string names;
    for (int i = 0; i < 1000; ++i) {
      // Appended, since g++ 12 at -O2 warns falsely (-Wrestrict) about "f" + std::string.
      const std::string file = std::string(".cache/many/f").append(std::to_string(i));
      home.writeFile(file, 10);
      names.append(" ").append(shellQuote(home.path(file)));
    }
    home.makeDirectory(".local/share/Trash/files");
    home.makeDirectory(".local/share/Trash/info");
    const char *signal = round % 2 ? "INT" : "TERM";
    // The signal comes once the first items are in the Trash, while the
    // rest are still being moved.
    const std::string trashed = shellQuote(home.path(".local/share/Trash/files"));
    int status = 0;
    runCommand("export HOME=" + shellQuote(home.root()) + " XDG_DATA_HOME=" + shellQuote(home.path(".local/share")) +
                   "; " + shellQuote(QUILLANE_BINARY) + " trash" + names + " >/dev/null 2>&1 </dev/null & pid=$!; " +
                   "until [ -n \"$(ls -A " + trashed + ")\" ] || ! kill -0 $pid 2>/dev/null; do sleep 0.001; done; " +
                   "kill -" + signal + " $pid; wait $pid",
               &status);
    SCOPED_TRACE(std::string(signal) + " round " + std::to_string(round));
    EXPECT_TRUE(status == 0 || status == 130) << status;
    EXPECT_EQ(mismatchedTrashEntries(home), std::set<std::string>());
    std::size_t inPlace = 0, inTrash = 0;
    for ([[maybe_unused]] const auto &entry : fs::directory_iterator(home.path(".cache/many")))
      ++inPlace;
    for ([[maybe_unused]] const auto &entry : fs::directory_iterator(home.path(".local/share/Trash/files")))
      ++inTrash;
    EXPECT_EQ(inPlace + inTrash, 1000u);
    interrupted += status == 130 && inPlace > 0;
  }
  EXPECT_GT(interrupted, 0) << "no run was interrupted in the middle; the test proved nothing";
}

} // namespace
} // namespace quillane::test
