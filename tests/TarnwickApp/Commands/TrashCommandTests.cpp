#include "TarnwickApp/Commands/QuillaneProcess.h"
#include "TarnwickCore/Support/ByteCountFormat.h"
#include "TarnwickCore/Support/UniqueFd.h"
#include "TestSupport/ScopedMount.h"

#include <gtest/gtest.h>

#include <QTest>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <optional>
#include <set>
#include <sstream>
#include <vector>
#include <sys/wait.h>

namespace quillane::test {
namespace {

namespace fs = std::filesystem;

QuillaneRun trash(const TempTree &home, const std::string &arguments) {
  return runQuillaneAtHome(home, "trash " + arguments);
}

// `command` run in the scratch home, which is the user's home, with $Q
// naming quillane.
std::string inHome(const TempTree &home, const std::string &command, int *status = nullptr) {
  return runAtHome(home.root(), home.path(".local/share"), "Q=" + shellQuote(QUILLANE_BINARY) + "; " + command,
                   status);
}

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

  // A file named like an option among the paths (as a shell pattern gives
  // it) never turns a move into a removal; "--" lets it be named.
  home.writeFile(".cache/many/--permanent", 1);
  home.writeFile(".cache/many/a", 1);
  run.out = inHome(home, "cd .cache/many && $Q trash * 2>&1", &run.status);
  EXPECT_EQ(run.status, 2) << run.out;
  EXPECT_TRUE(fs::exists(home.path(".cache/many/a")));
  run.out = inHome(home, "cd .cache/many && $Q trash -- * 2>&1", &run.status);
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_FALSE(fs::exists(home.path(".cache/many/a")));
  EXPECT_TRUE(fs::exists(home.path(".local/share/Trash/files/a")));

  // Moved, but not reported: the unwritten report is said even beside a
  // path that failed (its own line was lost with the report).
  home.writeFile("unreported", 10);
  run.out = inHome(home, "$Q trash unreported missing 2>&1 >&-", &run.status);
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(contains(run.out, "quillane: cannot write standard output")) << run.out;
  EXPECT_TRUE(fs::exists(home.path(".local/share/Trash/files/unreported")));
}

// The folders above a secret are refused before they are measured (reading
// a folder updates its access time when that is older than a day, so an
// untouched one was never listed). Names of white space, or that differ
// from a neighbour only by it, are taken as given, relative to the working
// folder; a path ending in "." or ".." names a folder by where one stands
// and is refused, the rest of the batch going on.
TEST(TrashCommand, NeverReachesPastTheNameGiven) {
  TempTree home;
  home.writeFile(".local/share/keyrings/login.keyring", 10);
  home.writeFile(".local/share/big/inner/file", 10);
  home.writeFile("notes", 10);
  home.writeFile(" notes", 10);
  const std::string inner = shellQuote(home.path(".local/share/big/inner"));
  runCommand("touch -a -d '3 days ago' " + inner);
  const std::string accessed = runCommand("stat -c %X " + inner);
  for (const char *mode : {"", "--permanent "}) {
    QuillaneRun run = trash(home, std::string(mode) + shellQuote(home.path(".local")));
    EXPECT_EQ(run.status, 1) << run.out;
    EXPECT_TRUE(contains(run.out, "blocked  " + home.path(".local") + ": Deletion rejected")) << run.out;
    EXPECT_TRUE(contains(run.out, "contains the protected location '" + home.path(".local/share/keyrings") + "'"))
        << run.out;
    EXPECT_TRUE(fs::exists(home.path(".local/share/keyrings/login.keyring")));
    EXPECT_EQ(runCommand("stat -c %X " + inner), accessed) << mode;
  }
  // In the scratch home's folder w, "quillane trash [mode] -- ARGUMENTS".
  auto trashIn = [](const TempTree &work, const std::string &folder, const std::string &arguments) {
    QuillaneRun run;
    run.out = inHome(work, "cd " + folder + " && $Q trash " + arguments + " </dev/null 2>&1", &run.status);
    return run;
  };
  for (const std::string mode : {"", "--permanent "}) {
    for (const char *name : {" ", "  ", "\t", " notes", "notes "}) {
      TempTree work;
      for (const char *entry : {" ", "  ", "\t", " notes", "notes ", "notes"})
        work.writeFile(std::string("w/") + entry, 10);
      const QuillaneRun run = trashIn(work, "w", mode + "-- " + shellQuote(name));
      const std::set<std::string> left = listing(work.path("w"));
      EXPECT_EQ(run.status, 0) << mode << "[" << name << "] " << run.out;
      EXPECT_TRUE(left.size() == 5 && !left.contains(name)) << mode << "[" << name << "] " << run.out;
    }
    for (const char *path : {".", "..", "./", "../", "../sub/.", "../sub/./", "../sub/.."}) {
      TempTree work;
      work.writeFile("w/sub/kept", 10);
      work.writeFile("w/sub/other", 10);
      const QuillaneRun run = trashIn(work, "w/sub", mode + "-- " + shellQuote(path) + " other");
      EXPECT_EQ(run.status, 1) << mode << path << " " << run.out;
      EXPECT_TRUE(contains(run.out, std::string("blocked  ") + path + ": a path ending in \".\" or \"..\" is refused"))
          << mode << path << " " << run.out;
      EXPECT_EQ(listing(work.path("w")), (std::set<std::string>{"sub", "sub/kept"})) << mode << path << " " << run.out;
    }
  }
}

// A file goes only with its last name: what the summary says is freed
// counts a file only when every one of its links went (for a move, once the
// Trash is emptied), and names each item that frees nothing because another
// link keeps its data. "big" has three names: big, big2 and folder/big3.
TEST(TrashCommand, FreedSpaceCountsAFileOnlyWithItsLastLink) {
  const struct {
    const char *arguments;
    const char *freed; // du's operands for what the summary counts; none: "no space freed"
    const char *freedSuffix;
    std::vector<std::string> notes;
    int namesLeft; // of big, the Trash's included
  } cases[] = {
      {"--permanent big2", "", "", {"big2 frees no space: 2 other links to it remain"}, 2},
      {"big2", "", "", {"big2 frees no space: 2 other links to it remain"}, 3},
      {"--permanent big big2 folder", "big big2 folder", " freed, in ", {}, 0},
      {"big big2 own",
       "own",
       " freed when the Trash is emptied, in ",
       {"big frees no space: 1 other link to it remains", "big2 frees no space: 1 other link to it remains"},
       3},
      {"--permanent folder",
       "folder --exclude=big3",
       " freed, in ",
       {"2 other links to some of its files remain, so those files stay"},
       2},
  };
  for (const auto &[arguments, freed, freedSuffix, notes, namesLeft] : cases) {
    TempTree home;
    home.writeFile("big", 400'000);
    home.writeFile("own", 30'000);
    home.writeFile("folder/own", 20'000);
    fs::create_hard_link(home.path("big"), home.path("big2"));
    fs::create_hard_link(home.path("big"), home.path("folder/big3"));
    const std::string bytes = runCommand("cd " + shellQuote(home.root()) + " && du -B1 -s -c " + freed + " | tail -1");
    std::string inode = runCommand("stat -c %i " + shellQuote(home.path("big")));
    inode.pop_back();
    QuillaneRun run;
    run.out = inHome(home, std::string("$Q trash ") + arguments + " </dev/null 2>&1", &run.status);
    ASSERT_EQ(run.status, 0) << arguments << '\n' << run.out;
    std::vector<std::string> lines = notes;
    lines.push_back(*freed ? tarnwick::formatByteCount(std::stoll(bytes)) + freedSuffix : "no space freed, in ");
    for (const std::string &line : lines)
      EXPECT_TRUE(contains(run.out, line)) << arguments << ": wanted " << line << '\n' << run.out;
    EXPECT_EQ(runCommand("find " + shellQuote(home.root()) + " -inum " + inode + " | wc -l"),
              std::to_string(namesLeft) + "\n")
        << arguments;
  }
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
TEST(TrashCommand, ASecondSignalDuringARemovalPutsBackWhatIsLeftAndSaysSo) {
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

// What `quillane trash --list --json` (stderr apart) and trash-list show
// from the home: (original path, date).
std::set<std::pair<std::string, std::string>> listedAsJson(const TempTree &home) {
  const auto document = nlohmann::json::parse(inHome(home, "$Q trash --list --json 2>/dev/null"));
  std::set<std::pair<std::string, std::string>> items;
  for (const auto &item : document.at("items"))
    if (item.at("originalPath").get<std::string>().starts_with(home.root() + "/"))
      items.emplace(item.at("originalPath").get<std::string>(), item.at("deletionDate").get<std::string>());
  return items;
}
auto listedByTrashCli(const TempTree &home) { return trashCliItems(home.root(), home.path(".local/share"), home.root()); }

// Emptying reaches every trash of the user's on the machine. As root, the
// tests that empty run as a user that no one is, whose only trash is the
// scratch home's (checked first); `run` is prefixed to the command.
constexpr const char *stranger = "61234";
std::optional<std::string> strangerPrefix(const TempTree &home) {
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

TEST(TrashCommand, ListsAndRestoresWhatTrashCliSees) {
  if (!installed("trash-put"))
    GTEST_SKIP() << "trash-cli is not installed";
  TempTree home;
  home.writeFile("docs/a.txt", 5000);
  home.writeFile("docs/b", 10);
  home.writeFile("c d", 10);
  inHome(home, "trash-put docs/a.txt docs/b 'c d'");
  home.writeFile("docs/b", 20); // takes the name back
  EXPECT_EQ(listedAsJson(home), listedByTrashCli(home));
  EXPECT_EQ(listedAsJson(home).size(), 3u);
  EXPECT_TRUE(contains(inHome(home, "$Q trash --list"), home.path("c d"))); // the text listing too

  // Relative to the working folder; nothing replaced; nothing to restore.
  const std::string out = inHome(home, "cd docs && $Q trash --restore a.txt b ../nothing 2>&1; echo \"exit $?\"");
  EXPECT_TRUE(contains(out, "restored " + home.path("docs/a.txt"))) << out;
  EXPECT_TRUE(contains(out, "failed   " + home.path("docs/b") + ":")) << out;
  EXPECT_TRUE(contains(out, "failed   " + home.path("nothing") + ":")) << out;
  EXPECT_TRUE(contains(out, "exit 1")) << out;
  EXPECT_EQ(fs::file_size(home.path("docs/a.txt")), 5000u);
  EXPECT_EQ(fs::file_size(home.path("docs/b")), 20u);
  EXPECT_EQ(listedByTrashCli(home).size(), 2u);
}

TEST(TrashCommand, EmptiesOnlyWhenToldAndReportsWhatItFreed) {
  if (!installed("trash-put") || !installed("script"))
    GTEST_SKIP() << "trash-cli or script is not installed";
  TempTree home;
  home.writeFile("big", 100000);
  home.writeFile("small", 10);
  inHome(home, "trash-put big small");
  // No terminal to ask on, or the answer is no: nothing goes.
  QuillaneRun run = trash(home, "--empty");
  EXPECT_EQ(run.status, 1) << run.out;
  const std::optional<std::string> as = strangerPrefix(home);
  if (!as)
    GTEST_SKIP() << "emptying is tried as root only, as a user whose only trash is the scratch home's";
  const std::string onTerminal = "script -qec \"$Q trash --empty\" /dev/null";
  const std::int64_t bytes = std::stoll(inHome(home, "du -s -B1 -c .local/share/Trash/files/* | tail -1"));
  run.out = inHome(home, "printf 'n\\n' | " + *as + onTerminal + "; echo \"exit $?\"");
  EXPECT_TRUE(contains(run.out, "[y/N]") && contains(run.out, "exit 1")) << run.out;
  EXPECT_EQ(listedByTrashCli(home).size(), 2u);
  run.out = inHome(home, "printf 'y\\n' | " + *as + onTerminal + "; echo \"exit $?\"");
  EXPECT_TRUE(contains(run.out, "2 items removed, " + tarnwick::formatByteCount(bytes) + " freed") &&
              contains(run.out, "exit 0"))
      << run.out;
  EXPECT_EQ(listedByTrashCli(home).size(), 0u);
  EXPECT_EQ(listing(home.path(".local/share/Trash")), (std::set<std::string>{"files", "info"}));
}

// A size that leaves something out (here a file system mounted inside an
// item, which is never entered) is shown as a lower bound, and so is any
// total it is part of.
TEST(TrashCommand, ASizeThatLeavesSomethingOutIsALowerBoundAndSoIsTheTotal) {
  if (::geteuid() != 0)
    GTEST_SKIP() << "mounting inside the Trash needs root";
  TempTree home;
  home.writeFile(".local/share/Trash/files/whole", 10'000);
  home.makeDirectory(".local/share/Trash/files/part/mnt");
  home.makeDirectory(".local/share/Trash/info");
  for (const char *name : {"whole", "part"})
    std::ofstream(home.path(".local/share/Trash/info/") + name + ".trashinfo")
        << "[Trash Info]\nPath=" << home.path(name) << "\nDeletionDate=2026-01-02T03:04:05\n";
  const ScopedMount inside = ScopedMount::tmpfs(home.path(".local/share/Trash/files/part/mnt"));
  ASSERT_TRUE(inside.mounted());
  const std::string listed = inHome(home, "$Q trash --list");
  std::istringstream lines(listed);
  int lowerBounds = 0;
  for (std::string line; std::getline(lines, line);)
    if (contains(line, ">=")) {
      ++lowerBounds;
      EXPECT_TRUE(contains(line, home.path("part")) || contains(line, "2 items")) << line;
    }
  EXPECT_EQ(lowerBounds, 2) << listed;
}

TEST(TrashCommand, ATrashThatCannotBeReadIsNeverCalledEmpty) {
  TempTree home;
  home.writeFile(".local/share/Trash/files/kept", 10);
  home.writeFile("decoy/kept.trashinfo", 1);
  home.makeSymlink(".local/share/Trash/info", home.path("decoy")); // refused, never read through
  int status = 0;
  const std::string listed = inHome(home, "$Q trash --list 2>&1", &status);
  EXPECT_EQ(status, 1) << listed;
  const std::optional<std::string> as = strangerPrefix(home);
  if (!as)
    GTEST_SKIP() << "emptying is tried as root only, as a user whose only trash is the scratch home's";
  const std::string out = inHome(home, *as + "$Q trash --empty --yes 2>&1; echo \"exit $?\"");
  EXPECT_FALSE(contains(out, "The Trash is empty")) << out;
  EXPECT_TRUE(contains(out, "exit 1")) << out;
  EXPECT_TRUE(fs::exists(home.path(".local/share/Trash/files/kept")));
  EXPECT_TRUE(fs::exists(home.path("decoy/kept.trashinfo")));
}

// A home reached through a link, as where /home leads to /var/home: an item
// trashed by a path through the link, relative to a working folder in the
// home (which the kernel names by the real folder), or on a drive mounted
// below the home is listed with where it really lies and comes back when
// asked for by the name it was trashed by.
TEST(TrashCommand, AHomeReachedThroughALinkGetsBackWhatWasTrashedFromIt) {
  TempTree tree;
  tree.writeFile("var/home/ann/a/f", 10);
  tree.writeFile("var/home/ann/a/rel", 10);
  tree.makeSymlink("home", "var/home");
  const std::string home = tree.path("home/ann"), real = tree.path("var/home/ann");
  std::vector<std::string> items{"/a/f", "/a/rel"};
  std::optional<ScopedMount> disk;
  if (isRoot()) { // else the drive is left out
    tree.makeDirectory("var/home/ann/disk");
    disk.emplace(ScopedMount::tmpfs(real + "/disk"));
    ASSERT_TRUE(disk->mounted());
    tree.writeFile("var/home/ann/disk/d/p", 10);
    items.push_back("/disk/d/p");
  }
  auto run = [&](const std::string &command) {
    return runAtHome(home, home + "/.local/share",
                     "Q=" + shellQuote(QUILLANE_BINARY) + "; " + command + " 2>&1; echo \"exit $?\"");
  };
  const std::string onDisk = disk ? " \"$HOME/disk/d/p\"" : "";
  std::string out = run("$Q trash \"$HOME/a/f\"" + onDisk + " && cd a && $Q trash rel");
  EXPECT_TRUE(contains(out, "trashed  rel\n")) << out;
  EXPECT_TRUE(contains(out, "exit 0")) << out;

  out = run("$Q trash --list");
  for (const std::string &item : items)
    EXPECT_TRUE(contains(out, "  " + real + item + "\n")) << item << "\n" << out;

  out = run("$Q trash --restore \"$HOME/a/f\"" + onDisk + " && cd a && $Q trash --restore rel");
  EXPECT_TRUE(contains(out, "exit 0")) << out;
  for (const std::string &item : items)
    EXPECT_TRUE(fs::exists(real + item)) << item << "\n" << out;
}

TEST(TrashCommand, ModesAreExclusiveAndNeverComeFromAPattern) {
  TempTree home;
  home.writeFile("x", 10);
  for (const char *arguments : {"", "--list --empty", "--list x", "--empty x", "--restore", "--json", "--yes",
                                "--list --yes", "--empty --json", "--permanent --restore x", "--list -q"}) {
    const QuillaneRun run = trash(home, arguments);
    EXPECT_EQ(run.status, 2) << arguments << "\n" << run.out;
  }
  EXPECT_TRUE(fs::exists(home.path("x")));
  // "quillane trash *" in a folder of files named like options.
  home.writeFile("patterned/--empty", 1);
  home.writeFile("patterned/--yes", 1);
  home.writeFile(".local/share/Trash/files/kept", 1);
  home.writeFile(".local/share/Trash/info/kept.trashinfo", 1);
  const std::optional<std::string> as = strangerPrefix(home);
  if (!as)
    GTEST_SKIP() << "a pattern that might empty the Trash is tried as root only (see strangerPrefix)";
  int status = 0;
  inHome(home, "cd patterned && " + *as + "$Q trash * >/dev/null 2>&1", &status);
  EXPECT_EQ(status, 2);
  EXPECT_TRUE(fs::exists(home.path(".local/share/Trash/files/kept")));
}

} // namespace
} // namespace quillane::test
