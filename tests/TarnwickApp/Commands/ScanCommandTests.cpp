#include "TarnwickApp/Commands/QuillaneProcess.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>

namespace quillane::test {
namespace {

// Every path under `root`, so a test can tell that a run left nothing behind.
std::set<std::string> listing(const std::string &root) {
  std::set<std::string> paths;
  for (const auto &entry : std::filesystem::recursive_directory_iterator(root))
    paths.insert(entry.path().lexically_relative(root).native());
  return paths;
}

struct ExitCase {
  const char *label;
  const char *arguments; // run inside a scratch folder holding tree/ and outdir/
  int status;
  const char *stderrHas;
  bool printsSummary;
};

const ExitCase exitCases[] = {
    {"UnknownOption", "scan tree --bogus", 2, "unknown option --bogus", false},
    {"NegativeTop", "scan tree --top -1", 2, "--top", false},
    {"TopWithTrailingText", "scan tree --top 3x", 2, "--top", false},
    {"ZeroConcurrency", "scan tree --concurrency 0", 2, "--concurrency", false},
    {"ConcurrencyAboveLimit", "scan tree --concurrency=33", 2, "--concurrency", false},
    {"ConcurrencyWithoutValue", "scan tree --concurrency", 2, "needs a value", false},
    {"TwoPaths", "scan tree tree", 2, "one PATH", false},
    {"LimitsAreInclusive", "scan tree --top 0 --concurrency 32", 0, "", true},
    {"InlineValues", "scan tree --top=1 --concurrency=1", 0, "", true},
    {"MissingPath", "scan missing", 1, "cannot read", true},
    {"FileAsPath", "scan tree/file", 1, "cannot read", true},
    {"JsonInMissingFolder", "scan tree --json nowhere/out.json", 1, "nowhere/out.json", false},
    {"JsonBelowAFile", "scan tree --json tree/file/out.json", 1, "tree/file/out.json", false},
    {"JsonOntoAFolder", "scan tree --json outdir", 1, "outdir", false},
    {"StandardOutputFull", "scan tree >/dev/full", 1, "cannot write standard output", false},
};

void PrintTo(const ExitCase &c, std::ostream *out) { *out << c.arguments; }

class ScanCommandExit : public ::testing::TestWithParam<ExitCase> {};

TEST_P(ScanCommandExit, StatusMessageAndNothingLeftBehind) {
  const ExitCase &expected = GetParam();
  TempTree scratch;
  scratch.writeFile("tree/file", 100);
  scratch.writeFile("tree/sub/data", 5000);
  scratch.makeDirectory("outdir");
  const auto before = listing(scratch.root());

  QuillaneRun run = runQuillane(scratch.root(), expected.arguments);

  EXPECT_EQ(run.status, expected.status) << run.err;
  EXPECT_NE(run.err.find(expected.stderrHas), std::string::npos) << run.err;
  if (expected.status == 2) {
    EXPECT_NE(run.err.find("Usage:"), std::string::npos) << run.err;
  }
  EXPECT_EQ(run.out.find("Total size:") != std::string::npos, expected.printsSummary) << run.out;
  if (expected.printsSummary && expected.status == 1) {
    // An unreadable root is still reported, as a single empty node.
    EXPECT_EQ(summaryNumber(run.out, "Inaccessible"), 1) << run.out;
    EXPECT_EQ(summaryNumber(run.out, "Files"), 0) << run.out;
    EXPECT_EQ(summaryNumber(run.out, "Directories"), 0) << run.out;
  }
  // Neither a JSON file nor its X.XXXXXX temporary may appear anywhere.
  EXPECT_EQ(listing(scratch.root()), before);
}

INSTANTIATE_TEST_SUITE_P(Cases, ScanCommandExit, ::testing::ValuesIn(exitCases),
                         [](const auto &info) { return std::string(info.param.label); });

struct ScannerChoice {
  const char *label;
  const char *options;
};

void PrintTo(const ScannerChoice &c, std::ostream *out) { *out << c.options; }

class ScanSummary : public ::testing::TestWithParam<ScannerChoice> {};

TEST_P(ScanSummary, AgreesWithFindOnAMixedTree) {
  TempTree scratch;
  scratch.writeFile("a/one", 1);
  scratch.writeFile("a/b/c/deep", 70000);
  scratch.makeSparseFile("a/sparse", 1 << 20);
  scratch.writeFile("twin", 9000);
  scratch.makeHardLink("twin", "a/b/twin-link");
  scratch.makeSymlink("a/to-twin", "../twin");
  scratch.makeSymlink("dangling", "nowhere");
  scratch.makeFifo("a/pipe");
  scratch.makeDirectory("empty");
  scratch.writeFile("esc\x1b[2J c1\xc2\x9b" "2J", 10);
  const FindTotals oracle = findTotals(scratch.root());

  // A path needing tidying, to check the root is reported absolute and clean.
  QuillaneRun run = runQuillane(scratch.root(), std::string("scan ./a/../ --quiet ") + GetParam().options);

  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find(" " + scratch.root() + "\n"), std::string::npos) << run.out;
  EXPECT_EQ(summaryNumber(run.out, "Files"), oracle.files) << run.out;
  EXPECT_EQ(summaryNumber(run.out, "Directories"), oracle.directories) << run.out;
  EXPECT_EQ(summaryNumber(run.out, "Skipped symlinks"), oracle.symlinks) << run.out;
  EXPECT_EQ(summaryNumber(run.out, "Total size"), oracle.bytes) << run.out;
  EXPECT_EQ(summaryNumber(run.out, "Inaccessible"), 0) << run.out;
  // The largest-items list prints names for a terminal: no control sequence,
  // 7-bit or C1, may reach it.
  EXPECT_EQ(run.out.find('\x1b'), std::string::npos);
  EXPECT_EQ(run.out.find("\xc2\x9b"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Scanners, ScanSummary,
                         ::testing::Values(ScannerChoice{"OneAtATime", "--concurrency 1"},
                                           ScannerChoice{"Parallel", "--concurrency 8"},
                                           ScannerChoice{"PortableListing", "--file-manager"}),
                         [](const auto &info) { return std::string(info.param.label); });

// Folders a scan cannot read are named in its summary, the first ten with
// why, the rest counted; the scan still succeeds unless the root itself is
// unreadable. Root reads every folder, so as root the program runs as an
// unprivileged user.
TEST(ScanCommandUnreadable, SummaryNamesTheFirstUnreadableFoldersAndCountsTheRest) {
  std::string asUser;
  if (::geteuid() == 0) {
    int status = 0;
    runCommand("command -v setpriv >/dev/null 2>&1", &status);
    if (status != 0)
      GTEST_SKIP() << "running as root, and no setpriv to run the scan as a user who cannot read everything";
    asUser = "setpriv --reuid=65534 --regid=65534 --clear-groups ";
  }
  TempTree scratch;
  scratch.writeFile("tree/open/visible", 100);
  for (int i = 0; i < 12; ++i)
    scratch.writeFile("tree/locked" + std::string(i < 10 ? "0" : "") + std::to_string(i) + "/secret", 100);
  runCommand("chmod -R a+rX " + shellQuote(scratch.root()) + " && chmod 0 " + shellQuote(scratch.path("tree")) +
             "/locked*");
  auto scan = [&](const std::string &path, int &status) {
    return runCommand("cd " + shellQuote(scratch.root()) + " && " + asUser + shellQuote(QUILLANE_BINARY) + " scan " +
                          path + " --quiet 2>&1",
                      &status);
  };

  int status = -1;
  std::string out = scan("tree", status);
  EXPECT_EQ(status, 0) << out;
  EXPECT_EQ(summaryNumber(out, "Inaccessible"), 12) << out;
  for (int i = 0; i < 12; ++i) {
    const std::string line = "\n  cannot open " + scratch.path("tree/locked" + std::string(i < 10 ? "0" : "") +
                                                              std::to_string(i)) + ": Permission denied\n";
    EXPECT_EQ(out.find(line) != std::string::npos, i < 10) << line << out;
  }
  EXPECT_NE(out.find("\n  and 2 more\n"), std::string::npos) << out;

  out = scan("tree/locked00", status);
  EXPECT_EQ(status, 1) << out;
  EXPECT_NE(out.find("cannot read " + scratch.path("tree/locked00") + ": Permission denied"), std::string::npos)
      << out;
}

// quillane scanning /usr into `destination`, output discarded. SIGINT is
// reset to its default: a runner started in the background from a script
// ignores it, and an ignored signal never reaches the watcher.
pid_t startUsrScan(const std::string &destination) {
  pid_t pid = ::fork();
  if (pid == 0) {
    int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, STDOUT_FILENO);
    ::dup2(null, STDERR_FILENO);
    std::signal(SIGINT, SIG_DFL);
    ::execl(QUILLANE_BINARY, "quillane", "scan", "/usr", "--quiet", "--json", destination.c_str(), "--concurrency",
            "1", nullptr);
    ::_exit(127);
  }
  return pid;
}

TEST(ScanCommandInterrupt, CtrlCExits130AndLeavesNoJson) {
  if (!std::filesystem::is_directory("/usr"))
    GTEST_SKIP() << "no /usr to scan";
  TempTree scratch;
  for (int attempt = 0; attempt < 5; ++attempt) {
    pid_t pid = startUsrScan(scratch.path("usr.json"));
    ASSERT_GT(pid, 0);
    // Once the temporary exists the Ctrl-C watcher is installed, so the
    // signal cannot meet the default action.
    int status = 0;
    pid_t ended = 0;
    for (int ms = 0; ended == 0 && listing(scratch.root()).empty() && ms < 10'000; ++ms) {
      ::usleep(1000);
      ended = ::waitpid(pid, &status, WNOHANG);
    }
    ::usleep(30'000); // into the scan
    if (ended == 0 && (ended = ::waitpid(pid, &status, WNOHANG)) == 0) {
      ::kill(pid, SIGINT);
      ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    } else if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
      std::filesystem::remove(scratch.path("usr.json")); // finished before the signal; try again
      continue;
    }
    ASSERT_TRUE(WIFEXITED(status)) << "killed by signal " << WTERMSIG(status) << " instead of exiting";
    EXPECT_EQ(WEXITSTATUS(status), 130) << "Ctrl-C during the scan was not honoured";
    EXPECT_TRUE(listing(scratch.root()).empty()) << "the JSON or its temporary was left behind";
    return;
  }
  GTEST_SKIP() << "scanning /usr always finished within 30 ms, so no scan could be interrupted";
}

TEST(ScanCommandInterrupt, SecondCtrlCEndsAProgramStuckOnItsOutput) {
  // Opening a FIFO nobody reads blocks, so the first Ctrl-C cannot be
  // honoured; the second must end the program all the same.
  TempTree scratch;
  scratch.writeFile("tree/file", 100);
  scratch.makeFifo("pipe");
  pid_t pid = ::fork();
  if (pid == 0) {
    std::signal(SIGINT, SIG_DFL);
    ::execl(QUILLANE_BINARY, "quillane", "scan", scratch.path("tree").c_str(), "--quiet", "--json",
            scratch.path("pipe").c_str(), nullptr);
    ::_exit(127);
  }
  ASSERT_GT(pid, 0);
  int status = 0;
  for (int signals = 0; signals < 2; ++signals) {
    ::usleep(200'000);
    ASSERT_EQ(::waitpid(pid, &status, WNOHANG), 0) << "ended before signal " << signals + 1;
    ::kill(pid, SIGINT);
  }
  bool ended = false;
  for (int ms = 0; ms < 5000 && !(ended = ::waitpid(pid, &status, WNOHANG) == pid); ms += 10)
    ::usleep(10'000);
  if (!ended) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    FAIL() << "two Ctrl-C did not end the program";
  }
  ASSERT_TRUE(WIFSIGNALED(status)) << "exited normally instead of by the signal";
  EXPECT_EQ(WTERMSIG(status), SIGINT);
  EXPECT_EQ(listing(scratch.root()), (std::set<std::string>{"pipe", "tree", "tree/file"}));
}

} // namespace
} // namespace quillane::test
