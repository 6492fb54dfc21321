#include "TarnwickApp/Commands/QuillaneProcess.h"
#include "TarnwickCore/Support/UniqueFd.h"

#include <gtest/gtest.h>

#include <QTest>

#include <csignal>
#include <filesystem>
#include <functional>
#include <sstream>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>

namespace quillane::test {
namespace {

// The export read back by the programs it is written for and by the import,
// and the peers' exports imported, on a tree of names that stress the
// escaping and of hard links that stress the byte count.
class NcduExport : public ::testing::Test {
protected:
  NcduExport() {
    tree.writeFile("nest/a/b/c/deep", 3000);
    tree.writeFile("nest/plain", 5000);
    tree.writeFile("pair/one", 20000);
    tree.makeHardLink("pair/one", "nest/two");
    // Only one of its links is inside the tree, so it counts in full.
    tree.writeFile("shared", 8192);
    outside.makeHardLink(tree.path("shared"), "elsewhere");
    for (const std::string &name : awkwardNames)
      tree.writeFile("nest/" + name, 100);
    tree.makeSymlink("nest/up", "..");
    tree.makeDirectory("nest/empty");
    oracle = findTotals(tree.root());
  }

  // Writes the export to work/out.json and returns its path.
  std::string exportTree() {
    QuillaneRun run = runQuillane(work.root(), "scan " + shellQuote(tree.root()) + " --json out.json --quiet");
    EXPECT_EQ(run.status, 0) << run.err;
    return work.path("out.json");
  }

  void expectWholeTree(const ExportContents &contents) const {
    EXPECT_EQ(contents.entries, oracle.files + oracle.directories + 1); // + 1: the root
    EXPECT_EQ(contents.dsizeSum, duBytes(tree.root())) << "folders' own blocks included, as ncdu writes them";
    for (const std::string &name : awkwardNames)
      EXPECT_TRUE(contents.names.contains(name)) << "lost: " << shellQuote(name);
  }

  inline static const std::string awkwardNames[] = {
      "new\nline", "bad\xff\xfe", "quote\"back\\slash", "del\x7f tab\t esc\x1b", std::string(255, 'n')};
  TempTree tree, outside, work;
  FindTotals oracle;
};

TEST_F(NcduExport, NcduImportsAndReexportsEveryEntryAndByte) {
  if (!installed("ncdu"))
    GTEST_SKIP() << "ncdu is not installed";
  std::string exported = exportTree();
  int status = -1;
  std::string messages =
      runCommand("ncdu -f " + shellQuote(exported) + " -o " + shellQuote(work.path("back.json")) + " 2>&1", &status);
  // ncdu 1.18 exits 0 even when the import fails half-way; only its message
  // and the truncated re-export tell.
  ASSERT_EQ(status, 0) << messages;
  ASSERT_EQ(messages.find_first_not_of(" \r\n"), std::string::npos) << "ncdu rejected the export: " << messages;
  expectWholeTree(readExport(readFile(work.path("back.json"))));
}

TEST_F(NcduExport, GduImportsItWithTheSameTotal) {
  if (!installed("gdu"))
    GTEST_SKIP() << "gdu is not installed";
  std::string exported = exportTree();
  int status = -1;
  std::string summary = runCommand("gdu -f " + shellQuote(exported) + " -n -p -s --no-prefix 2>/dev/null", &status);
  ASSERT_EQ(status, 0) << summary;
  std::int64_t total = -1;
  std::istringstream(summary) >> total;
  // gdu ignores a directory's own dsize on import and charges every
  // directory, the root included, a flat 4096 bytes.
  EXPECT_EQ(total, oracle.bytes + 4096 * (oracle.directories + 1)) << summary;
}

TEST_F(NcduExport, StandardOutputCarriesTheExportAlone) {
  // Without --quiet: whatever the progress or summary does must stay off stdout.
  QuillaneRun run = runQuillane(work.root(), "scan " + shellQuote(tree.root()) + " --json -");
  ASSERT_EQ(run.status, 0) << run.err;
  ExportContents contents;
  ASSERT_NO_THROW(contents = readExport(run.out)) << run.out.substr(0, 200);
  expectWholeTree(contents);
  EXPECT_TRUE(std::filesystem::is_empty(work.root()));
}

TEST_F(NcduExport, FifoDestinationIsWrittenInPlace) {
  // A named pipe (or /dev/stdout, or the shell's >(…)) must be opened and
  // written, not replaced by a renamed regular file its reader never sees.
  runCommand("mkfifo " + shellQuote(work.path("pipe")));
  int status = -1;
  runCommand("cd " + shellQuote(work.root()) + " && { timeout 10 cat pipe >got.json & } && " +
                 shellQuote(QUILLANE_BINARY) + " scan " + shellQuote(tree.root()) +
                 " --json pipe --quiet >/dev/null 2>&1; s=$?; wait; exit $s",
             &status);
  EXPECT_EQ(status, 0);
  EXPECT_TRUE(std::filesystem::is_fifo(work.path("pipe")));
  expectWholeTree(readExport(readFile(work.path("got.json"))));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(work.root()), {}), 2) << "a temporary was left";
}

// `scan --import` of exports of the same tree, written by Quillane and by
// its peers, against a scan of the tree and the find-based oracle. What the
// import refuses is checked with the scan command's other refusals.
class ScanImport : public NcduExport {
protected:
  QuillaneRun run(const std::string &arguments) { return runQuillane(work.root(), arguments); }
};

// The summary without what an export does not carry: the duration, and the
// symbolic links, which Quillane's export folds into their folders' blocks.
std::string comparable(const std::string &summary) {
  std::istringstream lines(summary);
  std::string kept;
  for (std::string line; std::getline(lines, line);)
    if (!line.starts_with("Duration:") && !line.starts_with("Skipped symlinks:"))
      kept += line + "\n";
  return kept;
}

// Compressed exports are the reader's suite's: they are read through the
// same input as plain ones, from a file or from standard input.
TEST_F(ScanImport, PrintsTheScansSummaryFromItsExportOrStandardInput) {
  const QuillaneRun scan = run("scan " + shellQuote(tree.root()) + " --json out.json --quiet --top 5 --largest 5");
  ASSERT_EQ(scan.status, 0) << scan.err;
  for (const std::string source : {"out.json", "- < out.json"}) {
    SCOPED_TRACE(source);
    const QuillaneRun imported = run("scan --top 5 --largest 5 --import " + source);
    EXPECT_EQ(imported.status, 0) << imported.err;
    EXPECT_EQ(comparable(imported.out), comparable(scan.out));
  }
  // Written out again, the export holds the same entries, bytes and names.
  const QuillaneRun again = run("scan --import=out.json --json again.json");
  ASSERT_EQ(again.status, 0) << again.err;
  const ExportContents first = readExport(readFile(work.path("out.json")));
  const ExportContents second = readExport(readFile(work.path("again.json")));
  EXPECT_EQ(second.entries, first.entries);
  EXPECT_EQ(second.dsizeSum, first.dsizeSum);
  EXPECT_EQ(second.names, first.names);
}

TEST_F(ScanImport, PeerExportsGiveTheOracleTotals) {
  struct Peer {
    const char *tool;
    const char *arguments; // before the tree's path
    std::int64_t total, files, symlinks;
  };
  // ncdu writes every entry's blocks, folders' included; symbolic links are
  // files to it unless -e gives their mode. gdu writes no folder blocks.
  const std::int64_t du = duBytes(tree.root());
  const Peer peers[] = {
      {"ncdu", "ncdu -o peer.json", du, oracle.files + oracle.symlinks, 0},
      {"ncdu", "ncdu -e -o peer.json", du, oracle.files, oracle.symlinks},
      {"gdu", "gdu -n -o peer.json", oracle.bytes, oracle.files + oracle.symlinks, 0},
  };
  std::string missing;
  for (const Peer &peer : peers) {
    SCOPED_TRACE(peer.arguments);
    if (!installed(peer.tool)) {
      missing += std::string(" ") + peer.tool;
      continue;
    }
    int status = -1;
    const std::string messages = runCommand("cd " + shellQuote(work.root()) + " && " + peer.arguments + " " +
                                                shellQuote(tree.root()) + " >/dev/null 2>&1",
                                            &status);
    ASSERT_EQ(status, 0) << messages;
    const QuillaneRun imported = run("scan --import peer.json");
    ASSERT_EQ(imported.status, 0) << imported.err;
    EXPECT_EQ(summaryNumber(imported.out, "Total size"), peer.total) << imported.out;
    EXPECT_EQ(summaryNumber(imported.out, "Files"), peer.files) << imported.out;
    EXPECT_EQ(summaryNumber(imported.out, "Directories"), oracle.directories) << imported.out;
    EXPECT_EQ(summaryNumber(imported.out, "Skipped symlinks"), peer.symlinks) << imported.out;
  }
  if (!missing.empty())
    GTEST_SKIP() << "not installed, their exports not checked:" << missing;
}

// Whether process `pid`'s main thread blocks SIGINT, as it does once the
// program's Ctrl-C watcher is installed.
bool watchesForCtrlC(pid_t pid) {
  const std::string status = readFile("/proc/" + std::to_string(pid) + "/status");
  const std::size_t at = status.find("SigBlk:");
  return at != std::string::npos && (std::stoull(status.substr(at + 7), nullptr, 16) >> (SIGINT - 1) & 1) != 0;
}

// An import from a FIFO waits for a writer, then for its text; the first
// Ctrl-C must end either wait.
TEST_F(ScanImport, CtrlCEndsAWaitForInput) {
  for (const bool writerConnects : {false, true}) {
    SCOPED_TRACE(writerConnects ? "writer connected, silent" : "no writer yet");
    std::filesystem::remove(work.path("pipe"));
    work.makeFifo("pipe");
    const pid_t pid = startQuillane({"scan", "--import", work.path("pipe")});
    ASSERT_GT(pid, 0);
    tarnwick::UniqueFd writer;
    std::function<bool()> waiting = [&] {
      return watchesForCtrlC(pid) && blockedIn(pid, {SYS_openat, SYS_poll, SYS_ppoll});
    };
    if (writerConnects) {
      // Opening blocks until the program opens its end, after it started
      // watching for Ctrl-C. The head is then taken, and nothing more comes.
      writer.reset(::open(work.path("pipe").c_str(), O_WRONLY | O_CLOEXEC));
      const std::string head = R"([1,0,{},[{"name":"/r"})";
      ASSERT_EQ(::write(writer.get(), head.data(), head.size()), static_cast<ssize_t>(head.size()));
      waiting = [&] {
        int unread = -1;
        return ::ioctl(writer.get(), FIONREAD, &unread) == 0 && unread == 0 &&
               blockedIn(pid, {SYS_read, SYS_poll, SYS_ppoll});
      };
    }
    EXPECT_TRUE(QTest::qWaitFor(waiting, 10'000));
    ::kill(pid, SIGINT);
    int status = 0;
    if (!QTest::qWaitFor([&] { return ::waitpid(pid, &status, WNOHANG) == pid; }, 5000)) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      ADD_FAILURE() << "Ctrl-C did not end the import";
      continue;
    }
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 130);
  }
}

} // namespace
} // namespace quillane::test
