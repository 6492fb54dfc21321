#include "TarnwickApp/Commands/QuillaneProcess.h"
#include "TarnwickCore/Support/UniqueFd.h"

#include <gtest/gtest.h>

#include <QTest>

#include <csignal>
#include <sstream>
#include <sys/wait.h>

namespace quillane::test {
namespace {

// `scan --import` of exports of one tree, written by Quillane and by its
// peers, against a scan of the tree and a find-based oracle.
class ScanImport : public ::testing::Test {
protected:
  ScanImport() {
    tree.writeFile("src/a/big", 300'000);
    tree.writeFile("src/a/small", 10);
    tree.writeFile("src/bad\xff name", 5000);
    tree.writeFile("data/one", 40'000);
    tree.makeHardLink("data/one", "src/two");
    tree.makeSymlink("src/up", "..");
    tree.makeDirectory("data/empty");
    oracle = findTotals(tree.root());
  }

  QuillaneRun run(const std::string &arguments) { return runQuillane(work.root(), arguments); }

  TempTree tree, work;
  FindTotals oracle;
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

TEST_F(ScanImport, PrintsTheScansSummaryFromItsExportPlainCompressedOrPiped) {
  const QuillaneRun scan = run("scan " + shellQuote(tree.root()) + " --json out.json --quiet --top 5 --largest 5");
  ASSERT_EQ(scan.status, 0) << scan.err;
  std::vector<std::string> sources{"out.json", "- < out.json"};
  for (const char *tool : {"gzip", "zstd"}) {
    if (!installed(tool)) {
      ADD_FAILURE() << tool << " is not installed";
      continue;
    }
    // Named so that only the first bytes can tell the format.
    runCommand("cd " + shellQuote(work.root()) + " && " + tool + " -c out.json > " + tool + ".data");
    sources.push_back(std::string(tool) + ".data");
    sources.push_back(std::string("- < ") + tool + ".data");
  }
  for (const std::string &source : sources) {
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

TEST_F(ScanImport, RefusalsSayWhyAndWhereAndPrintNoSummary) {
  struct Case {
    std::string arguments;
    int status;
    const char *stderrHas;
  };
  const std::string json = R"([1,0,{},[{"name":"/r"},{"name":"a","dsize":1},{"name":"a"}]])";
  runCommand("cd " + shellQuote(work.root()) + " && printf '%s' " + shellQuote(json) + " > dup.json && printf '" +
             json.substr(0, 20) + "' > cut.json && printf '[1,0,{},[{\"name\":\"/r\",\"dsize\":-1}]]' | gzip > neg.gz");
  const Case cases[] = {
      {"scan --import dup.json", 1, "cannot import dup.json: byte 58: /r holds two entries named \"a\""},
      {"scan --import - < cut.json", 1, "cannot import standard input: byte 20: "},
      {"scan --import neg.gz", 1, "cannot import neg.gz: byte 32: \"dsize\" is out of range"},
      {"scan --import missing.json", 1, "cannot open missing.json"},
      {"scan --import " + shellQuote(tree.root()), 1, "Is a directory"},
      {"scan --import out.json " + shellQuote(tree.root()), 2, "give no PATH"},
      {"scan --import out.json --exclude '*.o'", 2, "apply to scans"},
      {"scan --import out.json --keep-partial", 2, "--keep-partial applies to scans"},
      {"scan --import ''", 2, "--import needs a file name"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.arguments);
    const QuillaneRun run = runQuillane(work.root(), c.arguments);
    EXPECT_EQ(run.status, c.status);
    EXPECT_NE(run.err.find(c.stderrHas), std::string::npos) << run.err;
    EXPECT_EQ(run.out.find("Total size:"), std::string::npos) << run.out;
  }
}

TEST_F(ScanImport, CtrlCEndsAReadThatIsStillWaitingForInput) {
  work.makeFifo("pipe");
  const pid_t pid = startQuillane({"scan", "--import", work.path("pipe")});
  ASSERT_GT(pid, 0);
  // Opening blocks until the program opens its end, after it started
  // watching for Ctrl-C.
  const tarnwick::UniqueFd writer(::open(work.path("pipe").c_str(), O_WRONLY | O_CLOEXEC));
  const std::string head = R"([1,0,{},[{"name":"/r"})", more = R"(,{"name":"a","dsize":1})";
  ASSERT_EQ(::write(writer.get(), head.data(), head.size()), static_cast<ssize_t>(head.size()));
  ::kill(pid, SIGINT);
  QTest::qWait(100);
  // More text, which a program that missed the stop request would parse
  // before waiting on; the writer stays open, so no end of input ends it.
  // It may have ended already, so the write may fail (without SIGPIPE).
  const auto previous = std::signal(SIGPIPE, SIG_IGN);
  if (::write(writer.get(), more.data(), more.size()) < 0) {
    EXPECT_EQ(errno, EPIPE);
  }
  std::signal(SIGPIPE, previous);
  int status = 0;
  if (!QTest::qWaitFor([&] { return ::waitpid(pid, &status, WNOHANG) == pid; }, 5000)) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    FAIL() << "Ctrl-C did not end the import";
  }
  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 130);
}

} // namespace
} // namespace quillane::test
