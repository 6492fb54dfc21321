#include "TarnwickApp/Commands/QuillaneProcess.h"
#include "TestSupport/ScopedMount.h"

#include <gtest/gtest.h>

#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace quillane::test {
namespace {

// The scan's refusals, its import's among them, the treemap's, which reads
// its root the same way, and the diff's, which reads scan files.
TEST(ScanAndTreemapCommands, ExitStatusMessageAndNothingLeftBehind) {
  struct Case {
    const char *arguments; // run inside the scratch folder below
    int status;
    const char *stderrHas;
  };
  const Case cases[] = {
      {"scan tree --top -1", 2, "--top"},
      {"scan tree --top 3x", 2, "--top"},
      {"scan tree --concurrency 0", 2, "--concurrency"},
      {"scan tree --concurrency=33", 2, "--concurrency"},
      {"scan tree --exclude-from missing.txt", 2, "cannot read the exclude file missing.txt: No such file"},
      {"scan tree --exclude-from tree", 2, "cannot read the exclude file tree: Is a directory"},
      {"scan tree --exclude-from=", 2, "--exclude-from needs a file name"},
      {"scan tree --exclude ''", 2, "--exclude needs a pattern"},
      {"treemap tree --json - --exclude-from missing.txt", 2, "cannot read the exclude file missing.txt"},
      {"treemap tree --size 0x10 --png out.png", 2, "--size"},
      {"treemap tree --size 12x --png out.png", 2, "--size"},
      {"treemap tree --png -", 2, "--png needs a file name"},
      // Two outputs in one file: one would be lost, so nothing is scanned.
      {"scan tree --json out.json --report-json ./out.json", 2,
       "--json out.json and --report-json ./out.json name the same file"},
      {"scan missing --json out.json --report-json outdir/../out.json", 2, "name the same file"},
      {"scan tree --json old.json --report-json link.json", 2, "name the same file"},
      {"scan tree --json old.json --report-json hard.json", 2, "name the same file"},
      {"treemap tree --svg t --png t --json t", 2, "--json t and --svg t name the same file"},
      {"treemap tree --json alias/new.json --svg outdir/new.json", 2, "name the same file"},
      {"scan tree --json /dev/null --report-json /dev/null", 0, ""},
      {"scan tree --top 0 --concurrency 32", 0, ""}, // the limits are inclusive
      {"scan tree --top=1 --concurrency=1", 0, ""},
      {"scan missing", 1, "/missing: No such file or directory"},
      {"scan tree/file", 1, "/tree/file: Not a directory"},
      {"scan missing --json out.json", 1, "quillane: cannot read /"},
      {"scan tree --json nowhere/out.json", 1, "nowhere/out.json"},
      {"scan tree --json outdir", 1, "outdir"},
      {"treemap missing --png out.png --json out.json", 1, "quillane: cannot read /"},
      {"treemap tree --json out.json --png nowhere/out.png", 1, "nowhere/out.png"},
      {"scan tree >/dev/full", 1, "cannot write standard output"},
      // Closed by the caller: the program's own descriptors must not take
      // their place (the summary written into one, or one read as input).
      {"scan tree >&-", 1, "cannot write standard output: Bad file descriptor"},
      {"scan --import - <&-", 1, "standard input: byte 0: cannot read the export: Bad file descriptor"},
      // Every command fails, in one line, when its output cannot be written.
      {"scan tree --json - >&-", 1, "cannot write -: Bad file descriptor"},
      {"--version >&-", 1, "cannot write standard output: Bad file descriptor"},
      {"diff --help >/dev/full", 1, "cannot write standard output: No space left on device"},
      {"scan --import dup.json", 1, "cannot import dup.json: byte 58: /r holds two entries named \"a\""},
      {"scan --import neg.gz", 1, "cannot import neg.gz: byte 32: \"dsize\" is out of range"},
      {"scan --import missing.json", 1, "cannot open missing.json"},
      {"scan --import tree", 1, "Is a directory"},
      {"scan --import out.json tree", 2, "give no PATH"},
      {"scan --import out.json --exclude '*.o'", 2, "apply to scans"},
      {"scan --import out.json --keep-partial", 2, "--keep-partial applies to scans"},
      {"scan --import ''", 2, "--import needs a file name"},
      {"diff missing.json one.json", 1, "quillane: cannot read missing.json as a scan: "},
      {"diff one.json tree/file", 1, "quillane: cannot read tree/file as a scan: "},
  };
  TempTree scratch;
  scratch.writeFile("tree/file", 100);
  scratch.writeFile("tree/sub/data", 5000);
  scratch.makeDirectory("outdir");
  scratch.makeSymlink("alias", "outdir");
  scratch.writeFile("old.json", 10);
  scratch.makeSymlink("link.json", "old.json");
  std::filesystem::create_hard_link(scratch.path("old.json"), scratch.path("hard.json"));
  // Exports the import refuses: a name twice in one folder, and (compressed)
  // a size out of range.
  const std::string twice = R"([1,0,{},[{"name":"/r"},{"name":"a","dsize":1},{"name":"a"}]])";
  std::ofstream(scratch.path("dup.json")) << twice;
  std::ofstream(scratch.path("one.json")) << R"([1,0,{},[{"name":"/r"}]])";
  runCommand("printf '[1,0,{},[{\"name\":\"/r\",\"dsize\":-1}]]' | gzip > " + shellQuote(scratch.path("neg.gz")));
  const auto before = listing(scratch.root());
  for (const Case &c : cases) {
    SCOPED_TRACE(c.arguments);
    QuillaneRun run = runQuillane(scratch.root(), c.arguments, "timeout 60");
    EXPECT_EQ(run.status, c.status) << run.err;
    EXPECT_NE(run.err.find(c.stderrHas), std::string::npos) << run.err;
    if (c.status == 0) {
      EXPECT_NE(run.out.find("Total size:"), std::string::npos) << run.out;
    } else {
      EXPECT_EQ(run.out, "");
    }
    if (c.status == 1) { // a failure is said in one line
      EXPECT_TRUE(run.err.starts_with("quillane: ") && run.err.find('\n') == run.err.size() - 1) << run.err;
    }
    // Neither a JSON file nor its X.XXXXXX temporary may appear anywhere.
    EXPECT_EQ(listing(scratch.root()), before);
  }
}

// The summary's lines from the scan's figures. What the scanner makes of
// sparse files, hard links, FIFOs and each engine is its own suite's.
TEST(ScanCommand, SummaryAgreesWithFindAndDu) {
  TempTree scratch;
  scratch.writeFile("a/one", 1);
  scratch.writeFile("a/b/c/deep", 70000);
  scratch.writeFile("twin", 9000);
  scratch.makeSymlink("a/to-twin", "../twin");
  scratch.writeFile("esc\x1b[2J c1\xc2\x9b" "2J", 10);
  const FindTotals oracle = findTotals(scratch.root());
  const std::int64_t bytes = duBytes(scratch.root());
  // A path needing tidying, to check the root is reported absolute and clean.
  // Its export written inside, which is not there to count when the scan reads.
  QuillaneRun run = runQuillane(scratch.root(), "scan ./a/../ --quiet --json report.json");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(readFile(scratch.path("report.json")).find("report.json."), std::string::npos) << "its temporary";
  EXPECT_NE(run.out.find(" " + scratch.root() + "\n"), std::string::npos) << run.out;
  EXPECT_EQ(summaryNumber(run.out, "Files"), oracle.files) << run.out;
  EXPECT_EQ(summaryNumber(run.out, "Directories"), oracle.directories) << run.out;
  EXPECT_EQ(summaryNumber(run.out, "Skipped symlinks"), oracle.symlinks) << run.out;
  EXPECT_EQ(summaryNumber(run.out, "Total size"), bytes) << run.out;
  EXPECT_EQ(summaryNumber(run.out, "Inaccessible"), 0) << run.out;
  // The largest-items list prints names for a terminal: no control
  // sequence, 7-bit or C1, may reach it.
  EXPECT_EQ(run.out.find('\x1b'), std::string::npos);
  EXPECT_EQ(run.out.find("\xc2\x9b"), std::string::npos);
}

// Folders a scan cannot read are named in its summary with why (a folder
// that cannot be opened, or one that can be listed but whose entries cannot
// be examined), the first ten listed and the rest counted, by either engine;
// the scan still succeeds unless the root itself is unreadable. Root reads
// every folder, so as root the program runs as an unprivileged user.
TEST(ScanCommandUnreadable, SummaryNamesTheFirstUnreadableFoldersWithWhyAndCountsTheRest) {
  std::string asUser;
  if (::geteuid() == 0) {
    if (!installed("setpriv"))
      GTEST_SKIP() << "running as root, and no setpriv to run the scan as a user who cannot read everything";
    asUser = "setpriv --reuid=65534 --regid=65534 --clear-groups ";
  }
  TempTree scratch;
  auto locked = [&](int i) { return scratch.path("tree/locked" + std::string(i < 10 ? "0" : "") + std::to_string(i)); };
  scratch.writeFile("tree/open/visible", 100);
  scratch.writeFile("tree/a-unsearchable/hidden", 100); // sorts first
  for (int i = 0; i < 12; ++i)
    scratch.writeFile(locked(i).substr(scratch.root().size() + 1) + "/secret", 100);
  runCommand("chmod -R a+rX " + shellQuote(scratch.root()) + " && chmod 0 " + shellQuote(scratch.path("tree")) +
             "/locked* && chmod 0444 " + shellQuote(scratch.path("tree/a-unsearchable")));
  // All of tree/open, and the own blocks of the folders beside it, which
  // their listing shows even where their contents cannot be read.
  std::int64_t visibleBytes = duBytes(scratch.path("tree/open"));
  std::istringstream besideOpen(
      runCommand("find " + shellQuote(scratch.path("tree")) + " -maxdepth 1 ! -name open -printf '%b\\n'"));
  for (std::int64_t blocks; besideOpen >> blocks;)
    visibleBytes += blocks * 512;
  auto scan = [&](const std::string &arguments) { // its status, and both streams as a user reads them
    const QuillaneRun run = runQuillane(scratch.root(), "scan " + arguments + " --quiet", asUser);
    return std::pair{run.status, run.out + run.err};
  };

  for (const char *engine : {"", " --file-manager"}) {
    SCOPED_TRACE(engine);
    const auto [status, out] = scan(std::string("tree") + engine);
    EXPECT_EQ(status, 0) << out;
    EXPECT_EQ(summaryNumber(out, "Inaccessible"), 13) << out;
    EXPECT_EQ(summaryNumber(out, "Files"), 1) << out;
    EXPECT_EQ(summaryNumber(out, "Directories"), 14) << out;
    EXPECT_EQ(summaryNumber(out, "Total size"), visibleBytes) << out;
    EXPECT_TRUE(contains(out, "\n  cannot inspect the entries of " + scratch.path("tree/a-unsearchable") +
                                  ": Permission denied\n"))
        << out;
    for (int i = 0; i < 12; ++i) {
      const std::string line = "\n  cannot open " + locked(i) + ": Permission denied\n";
      EXPECT_EQ(contains(out, line), i < 9) << line << out;
    }
    EXPECT_TRUE(contains(out, "\n  and 3 more\n")) << out;
  }

  const auto [status, out] = scan(shellQuote(locked(0)));
  EXPECT_EQ(status, 1) << out;
  EXPECT_TRUE(contains(out, "cannot read " + locked(0) + ": Permission denied")) << out;
}

// Scans /usr with `options` into scratch/usr.json, `output` as standard
// output when given, and sends Ctrl-C once the scan is under way. Returns
// the wait status, or nothing when there is no /usr or every attempt
// finished before the signal.
std::optional<int> interruptedScanOfUsr(const TempTree &scratch, std::vector<std::string> options, int output = -1) {
  if (!std::filesystem::is_directory("/usr"))
    return std::nullopt;
  std::vector<std::string> arguments{"scan", "/usr", "--quiet", "--json", scratch.path("usr.json"), "--concurrency", "1"};
  arguments.insert(arguments.end(), options.begin(), options.end());
  for (int attempt = 0; attempt < 5; ++attempt) {
    const pid_t pid = startQuillane(arguments, {}, {}, output);
    EXPECT_GT(pid, 0);
    // Once the temporary exists the Ctrl-C watcher is installed, so the
    // signal cannot meet the default action; once a walker holds a folder
    // of /usr open, the scan is under way.
    int status = 0;
    pid_t ended = 0;
    auto hasEnded = [&] { return ended != 0 || (ended = ::waitpid(pid, &status, WNOHANG)) != 0; };
    EXPECT_TRUE(QTest::qWaitFor([&] { return hasEnded() || !listing(scratch.root()).empty(); }, 10'000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return hasEnded() || holdsOpenBelow(pid, "/usr/"); }, 10'000));
    if (ended == 0) {
      ::kill(pid, SIGINT);
      EXPECT_EQ(::waitpid(pid, &status, 0), pid);
      return status;
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
      return status; // failed on its own: the caller's checks say how
    std::filesystem::remove(scratch.path("usr.json")); // finished before the signal; try again
  }
  return std::nullopt;
}

TEST(ScanCommandInterrupt, CtrlCExits130AndLeavesNoJson) {
  TempTree scratch;
  const std::optional<int> status = interruptedScanOfUsr(scratch, {});
  if (!status)
    GTEST_SKIP() << "no /usr, or scanning it always finished before it could be interrupted";
  ASSERT_TRUE(WIFEXITED(*status)) << "killed by signal " << WTERMSIG(*status) << " instead of exiting";
  EXPECT_EQ(WEXITSTATUS(*status), 130) << "Ctrl-C during the scan was not honoured";
  EXPECT_TRUE(listing(scratch.root()).empty()) << "the JSON or its temporary was left behind";
}

TEST(ScanCommandInterrupt, KeepPartialReportsAndExportsWhatWasReadMarkedPartial) {
  TempTree scratch, printed;
  const int output = ::open(printed.path("out.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  ASSERT_GE(output, 0);
  const std::optional<int> status = interruptedScanOfUsr(scratch, {"--keep-partial"}, output);
  ::close(output);
  if (!status)
    GTEST_SKIP() << "no /usr, or scanning it always finished before it could be interrupted";
  ASSERT_TRUE(WIFEXITED(*status)) << "killed by signal " << WTERMSIG(*status) << " instead of exiting";
  EXPECT_EQ(WEXITSTATUS(*status), 3);
  const std::string out = readFile(printed.path("out.txt"));
  const std::size_t at = out.find("partial: stopped after ");
  ASSERT_NE(at, std::string::npos) << out;
  const std::string line = out.substr(at, out.find('\n', at) - at);
  const nlohmann::json tree = nlohmann::json::parse(readFile(scratch.path("usr.json")), nullptr, false);
  ASSERT_FALSE(tree.is_discarded()) << "the export is not JSON";
  std::string entries = std::to_string(tree[2].value("quillane_stopped_after_entries", -1));
  for (int digits = static_cast<int>(entries.size()) - 3; digits > 0; digits -= 3)
    entries.insert(static_cast<std::size_t>(digits), ",");
  EXPECT_EQ(line, "partial: stopped after " + entries + " entries");
  // Read back, the export is still partial, and ours says so again.
  const QuillaneRun imported = runQuillane(scratch.root(), "scan --import usr.json");
  EXPECT_EQ(imported.status, 0) << imported.err;
  EXPECT_NE(imported.out.find(line + "\n"), std::string::npos) << imported.out;
}

TEST(ScanCommandInterrupt, SecondCtrlCEndsAProgramStuckOnItsOutput) {
  // Opening a FIFO nobody reads blocks, so the first Ctrl-C cannot be
  // honoured; the second must end the program all the same.
  TempTree scratch;
  scratch.writeFile("tree/file", 100);
  scratch.makeFifo("pipe");
  const pid_t pid = startQuillane({"scan", scratch.path("tree"), "--quiet", "--json", scratch.path("pipe")});
  ASSERT_GT(pid, 0);
  int status = 0;
  auto hasEnded = [&] { return ::waitpid(pid, &status, WNOHANG) == pid; };
  EXPECT_TRUE(QTest::qWaitFor([&] { return blockedInOpen(pid); }, 10'000)) << "never reached the FIFO";
  ::kill(pid, SIGINT);
  EXPECT_FALSE(QTest::qWaitFor(hasEnded, 200)) << "ended on the first Ctrl-C";
  ::kill(pid, SIGINT);
  if (!QTest::qWaitFor(hasEnded, 5000)) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    FAIL() << "two Ctrl-C did not end the program";
  }
  ASSERT_TRUE(WIFSIGNALED(status)) << "exited normally instead of by the signal";
  EXPECT_EQ(WTERMSIG(status), SIGINT);
  EXPECT_EQ(listing(scratch.root()), (std::set<std::string>{"pipe", "tree", "tree/file"}));
}

// Exclude options against `du --exclude` (the treemap's too), and the
// summary of the mount points left out. File names and patterns need not be
// UTF-8: they reach the scan as given.
TEST(ScanScopeCommand, ExcludesAgreeWithDuExclude) {
  TempTree scratch;
  for (const char *file : {"a.o", "a.c", "src/b.o", "src/c.c", "node_modules/m/i.js", "web/node_modules/n.js",
                           ".git/objects/x", "left\xfeout"})
    scratch.writeFile(std::string("na\xffme/") + file, 9000);
  std::ofstream(scratch.path("excludes"), std::ios::binary) << "# build products\n\n*.o\r\n   \nnode_modules\n";
  const std::string options = "--exclude-from excludes --exclude .git --exclude=" + shellQuote("left\xfeout");
  const QuillaneRun run = runQuillane(scratch.root(), "scan " + shellQuote("na\xffme") + " --quiet " + options);
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string du = runCommand("du -s -B1 --exclude='*.o' --exclude=node_modules --exclude=.git --exclude=" +
                                    shellQuote("left\xfeout") + " " + shellQuote(scratch.path("na\xffme")));
  EXPECT_EQ(summaryNumber(run.out, "Total size"), std::stoll(du)) << run.out;
  EXPECT_EQ(summaryNumber(run.out, "Excluded"), 6) << run.out; // a.o, src/b.o, both node_modules, .git, left…out
  EXPECT_EQ(summaryNumber(run.out, "Files"), 2) << run.out;

  // The treemap takes the same options; its tiles are the root's children.
  const QuillaneRun treemap = runQuillane(scratch.root(), "treemap " + shellQuote("na\xffme") + " --json - " + options);
  ASSERT_EQ(treemap.status, 0) << treemap.err;
  for (const char *name : {"\"a.o\"", "\"node_modules\"", "\".git\""})
    EXPECT_EQ(treemap.out.find(name), std::string::npos) << name << " in " << treemap.out;
  EXPECT_NE(treemap.out.find("\"a.c\""), std::string::npos) << treemap.out;
}

TEST(ScanScopeCommand, OneFileSystemListsTheMountPointsItLeftOut) {
  if (::geteuid() != 0)
    GTEST_SKIP() << "mounting needs root";
  TempTree scratch;
  scratch.writeFile("tree/file", 100);
  scratch.makeDirectory("tree/ram");
  const ScopedMount ram = ScopedMount::tmpfs(scratch.path("tree/ram"));
  if (!ram.mounted())
    GTEST_SKIP() << "this system refuses test mounts";
  scratch.writeFile("tree/ram/inside", 100);
  const QuillaneRun entered = runQuillane(scratch.root(), "scan tree --quiet");
  EXPECT_EQ(summaryNumber(entered.out, "Files"), 2) << entered.out;
  EXPECT_EQ(summaryNumber(entered.out, "Skipped mounts"), 0) << entered.out;
  const QuillaneRun run = runQuillane(scratch.root(), "scan tree -x --quiet");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(summaryNumber(run.out, "Files"), 1) << run.out;
  EXPECT_EQ(summaryNumber(run.out, "Skipped mounts"), 1) << run.out;
  const std::string mount = scratch.path("tree/ram") + " (tmpfs, another file system)";
  EXPECT_TRUE(contains(run.out, "Mount points not entered:\n  " + mount)) << run.out;
}

// The scan report document, as the command writes it on request: read back
// as JSON and checked against du and find on the same tree, names that are
// not UTF-8 included.
TEST(ScanReportJsonTest, SummaryLargestFilesAndTypesAgreeWithDuAndFind) {
  TempTree tree, out; // the report outside the tree it measures
  tree.writeFile("video/film.mkv", 700'000);
  tree.writeFile("video/trailer.MKV", 70'000);
  tree.writeFile("notes", 7'000);
  tree.writeFile("odd\xff name.txt", 170'000);
  const QuillaneRun run = runQuillane(tree.root(), "scan . --quiet --largest 2 --types --report-json " +
                                                      shellQuote(out.path("report.json")));
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("Largest files:\n  "), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("/film.mkv\n  "), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("\n\nFile types:"), std::string::npos) << run.out;
  for (const char *row : {" 2 files  .mkv\n", " 1 file   .txt\n"})
    EXPECT_NE(run.out.find(row), std::string::npos) << row << "\n" << run.out;
  const nlohmann::json report = nlohmann::json::parse(readFile(out.path("report.json")));

  EXPECT_EQ(report["schema"], "quillane-scan-report");
  EXPECT_EQ(report["version"], 1);
  EXPECT_EQ(report["summary"]["bytes"], duBytes(tree.root()));
  EXPECT_EQ(report["summary"]["files"], 4);
  ASSERT_EQ(report["largest_files"].size(), 2u);
  EXPECT_EQ(report["largest_files"][0]["path"], tree.path("video/film.mkv"));
  EXPECT_EQ(report["largest_files"][1]["path"], tree.root() + "/odd\xef\xbf\xbd name.txt");
  EXPECT_EQ(report["largest_files"][0]["bytes"], duBytes(tree.path("video/film.mkv")));
  std::int64_t typed = 0;
  for (const auto &type : report["file_types"])
    typed += type["bytes"].get<std::int64_t>();
  // Every file has a type or none; only the folders' own blocks are left.
  const std::int64_t fileBytes = std::stoll(runCommand("find " + shellQuote(tree.root()) +
                                                       " -type f -printf '%b\\n' | awk '{s+=$1} END {print s*512}'"));
  EXPECT_EQ(typed, fileBytes);
  EXPECT_EQ(report["file_types"][0]["type"], "mkv");
  EXPECT_EQ(report["file_types"][0]["files"], 2);
  EXPECT_EQ(runQuillane(tree.root(), "scan . --json - --report-json -").status, 2);
}

} // namespace
} // namespace quillane::test
