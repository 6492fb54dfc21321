// `quillane diff` of an export and a snapshot of one folder taken before
// and after it changed: the table and the JSON agree with stat and du. A
// file that is no scan is refused with the scan command's other refusals.
#include "TarnwickApp/Commands/QuillaneProcess.h"
#include "TarnwickCore/Scan/FastBulkScanner.h"
#include "TarnwickCore/Snapshot/ScanSnapshotWriter.h"
#include "TarnwickCore/Support/UniqueFd.h"

#include <gtest/gtest.h>

#include <QTest>

#include <fcntl.h>
#include <map>
#include <sstream>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>

namespace quillane::test {
namespace {

using Json = nlohmann::json;

std::int64_t statBytes(const std::string &path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 ? std::int64_t(st.st_blocks) * 512 : -1;
}

TEST(DiffCommand, JsonHasTheExactBytesOfEveryChangeAndTextTheLargestFirstUpToTop) {
  TempTree tree, work;
  tree.writeFile("keep", 8192);
  tree.writeFile("grow", 4096);
  tree.writeFile("gone", 16384);
  const std::int64_t grewFrom = statBytes(tree.path("grow")), goneBytes = statBytes(tree.path("gone"));
  const std::int64_t duBefore = duBytes(tree.root());
  ASSERT_EQ(runQuillane(work.root(), "scan --quiet " + shellQuote(tree.root()) + " --json written.json").status, 0);
  // Dated as a re-export keeps it: the export's own time, not the import's.
  const std::string written = readFile(work.path("written.json"));
  const std::size_t stamp = written.find("\"timestamp\":") + 12;
  std::ofstream(work.path("dated.json"), std::ios::binary)
      << written.substr(0, stamp) + "1700000000" + written.substr(written.find_first_not_of("0123456789", stamp));
  ASSERT_EQ(runQuillane(work.root(), "scan --quiet --import dated.json --json old.json").status, 0);
  tree.writeFile("grow", 40960);
  tree.writeFile("new", 4096);
  ::unlink(tree.path("gone").c_str());
  std::ofstream(work.path("new.qsnap"), std::ios::binary)
      << tarnwick::ScanSnapshotWriter::encode(tarnwick::FastBulkScanner().scan(tree.root()), 1'765'000'000);

  const QuillaneRun diff = runQuillane(work.root(), "diff old.json new.qsnap --json");
  ASSERT_EQ(diff.status, 0) << diff.err;
  const Json document = Json::parse(diff.out);
  EXPECT_EQ(document["older"]["scanned"], "2023-11-14T22:13:20Z") << "the export's timestamp";
  EXPECT_EQ(document["newer"]["scanned"], "2025-12-06T05:46:40Z");
  EXPECT_EQ(document["difference"], duBytes(tree.root()) - duBefore);
  std::map<std::string, Json> byName;
  for (const Json &change : document["changes"])
    byName[change["path"].get<std::string>().substr(tree.root().size())] = change;
  EXPECT_EQ(byName.size(), 4u) << diff.out; // the root, grow, gone and new; keep is unchanged
  const struct {
    const char *name;
    Json before, after;
  } cases[] = {{"/grow", grewFrom, statBytes(tree.path("grow"))},
               {"/gone", goneBytes, nullptr},
               {"/new", nullptr, statBytes(tree.path("new"))}};
  for (const auto &entry : cases) {
    SCOPED_TRACE(entry.name);
    EXPECT_EQ(byName[entry.name]["before"], entry.before);
    EXPECT_EQ(byName[entry.name]["after"], entry.after);
  }

  const QuillaneRun table = runQuillane(work.root(), "diff old.json new.qsnap --top 3");
  ASSERT_EQ(table.status, 0) << table.err;
  std::istringstream lines(table.out);
  std::vector<std::string> text;
  for (std::string line; std::getline(lines, line);)
    text.push_back(line);
  ASSERT_EQ(text.size(), 8u) << table.out; // two roots, the change, a blank line, the heading, three rows
  EXPECT_TRUE(text[0].starts_with("Older: " + tree.root() + " (") && text[0].ends_with("scanned 2023-11-14 22:13 UTC)"))
      << text[0];
  EXPECT_TRUE(text[1].ends_with("scanned 2025-12-06 05:46 UTC)")) << text[1];
  EXPECT_TRUE(text[2].starts_with("Change: +")) << text[2];
  const std::string rowEnds[] = {tree.path("grow"), tree.root() + "/", tree.path("gone")};
  for (std::size_t i = 0; i < 3; ++i)
    EXPECT_TRUE(text[5 + i].ends_with(rowEnds[i])) << text[5 + i];
  EXPECT_NE(text[7].find(" gone "), std::string::npos) << text[7];
}

// A snapshot named through a link is read; a scan time no date holds is
// unknown, in the table and in the JSON.
TEST(DiffCommand, FollowsLinksAndLeavesAnImpossibleDateUnknown) {
  TempTree tree, work;
  tree.writeFile("a", 4096);
  const tarnwick::DiskTreeArena arena = tarnwick::FastBulkScanner().scan(tree.root());
  std::ofstream(work.path("old.qsnap"), std::ios::binary) << tarnwick::ScanSnapshotWriter::encode(arena, INT64_MAX);
  std::ofstream(work.path("new.qsnap"), std::ios::binary) << tarnwick::ScanSnapshotWriter::encode(arena, INT64_MIN);
  work.makeSymlink("link.qsnap", "old.qsnap");

  const QuillaneRun table = runQuillane(work.root(), "diff link.qsnap new.qsnap");
  ASSERT_EQ(table.status, 0) << table.err;
  EXPECT_NE(table.out.find("Older: " + tree.root() + " ("), std::string::npos) << table.out;
  EXPECT_EQ(table.out.find("scanned"), std::string::npos) << table.out;
  const QuillaneRun json = runQuillane(work.root(), "diff old.qsnap new.qsnap --json");
  ASSERT_EQ(json.status, 0) << json.err;
  const Json document = Json::parse(json.out);
  EXPECT_EQ(document["older"]["scanned"], nullptr);
  EXPECT_EQ(document["newer"]["scanned"], nullptr);
}

// Ctrl-C while an export is still coming ends the comparison with a word
// and the status of an interrupted command.
TEST(DiffCommand, CtrlCWhileReadingSaysSoAndExits130) {
  TempTree work;
  work.makeFifo("pipe");
  int errors[2];
  ASSERT_EQ(::pipe2(errors, O_CLOEXEC), 0);
  tarnwick::UniqueFd errorRead(errors[0]), errorWrite(errors[1]);
  const pid_t pid = startQuillane({"diff", work.path("pipe"), work.path("pipe")}, {}, {}, -1, errorWrite.get());
  ASSERT_GT(pid, 0);
  errorWrite.reset(); // the program's copy alone: its end is the end of what it says
  // Opening blocks until the program opens its end; the head is then
  // taken, and nothing more comes.
  const tarnwick::UniqueFd writer(::open(work.path("pipe").c_str(), O_WRONLY | O_CLOEXEC));
  const std::string head = R"([1,0,{},[{"name":"/r"})";
  ASSERT_EQ(::write(writer.get(), head.data(), head.size()), static_cast<ssize_t>(head.size()));
  EXPECT_TRUE(QTest::qWaitFor([&] { return blockedIn(pid, {SYS_read, SYS_poll, SYS_ppoll}); }, 10'000));
  ::kill(pid, SIGINT);
  int status = 0;
  if (!QTest::qWaitFor([&] { return ::waitpid(pid, &status, WNOHANG) == pid; }, 5000)) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    FAIL() << "Ctrl-C did not end the comparison";
  }
  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 130);
  char said[256] = "";
  const ssize_t got = ::read(errorRead.get(), said, sizeof said - 1);
  EXPECT_NE(std::string(said, got > 0 ? std::size_t(got) : 0).find("interrupted"), std::string::npos) << said;
}

} // namespace
} // namespace quillane::test
