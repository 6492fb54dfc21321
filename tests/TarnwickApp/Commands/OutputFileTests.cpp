// What a destination is, not how its path is spelled, decides how an output
// is written: regular files (in /dev/shm or through /proc/self/cwd too) are
// replaced whole, links at their final target (unless another user planted
// them in a shared folder), and a dangling link's target appears only
// complete.
#include "TarnwickApp/Commands/QuillaneProcess.h"

#include <gtest/gtest.h>

#include <QTest>

#include <csignal>
#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>

namespace quillane::test {
namespace {

namespace fs = std::filesystem;

bool wellFormedXml(const std::string &path) {
  int status = -1;
  runCommand("python3 -c 'import sys, xml.dom.minidom; xml.dom.minidom.parse(sys.argv[1])' " + shellQuote(path) +
                 " 2>/dev/null",
             &status);
  return status == 0;
}

class OutputFile : public ::testing::Test {
protected:
  OutputFile() { scratch.writeFile("tree/file", 5000); }

  void writeOld(const std::string &path) const { std::ofstream(path) << std::string(200'000, 'x'); }

  TempTree scratch;
};

TEST_F(OutputFile, RegularFileIsReplacedWholeWhereverItLives) {
  if (!fs::is_directory("/dev/shm"))
    GTEST_SKIP() << "no /dev/shm to write to";
  const TempTree shm("/dev/shm");
  struct Case {
    std::string command; // its destination is `file`
    std::string file;
    bool isJson;
  };
  const Case cases[] = {
      {"scan tree --quiet --json " + shm.root() + "/out.json", shm.root() + "/out.json", true},
      {"scan tree --quiet --json /proc/self/cwd/out.json", scratch.path("out.json"), true},
      {"treemap tree --svg " + shm.root() + "/out.svg", shm.root() + "/out.svg", false},
      {"treemap tree --svg /proc/self/cwd/out.svg", scratch.path("out.svg"), false},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.command);
    writeOld(c.file);
    const auto before = listing(fs::path(c.file).parent_path());
    QuillaneRun run = runQuillane(scratch.root(), c.command + " >/dev/null");
    ASSERT_EQ(run.status, 0) << run.err;
    // A file written over in place would keep the old tail.
    EXPECT_LT(fs::file_size(c.file), 200'000u);
    if (c.isJson) {
      EXPECT_NO_THROW(EXPECT_EQ(readExport(readFile(c.file)).entries, 2));
    } else {
      EXPECT_TRUE(wellFormedXml(c.file)) << readFile(c.file).substr(0, 300);
    }
    EXPECT_EQ(listing(fs::path(c.file).parent_path()), before) << "a temporary was left";
  }
}

TEST_F(OutputFile, LinksAreReplacedAtTheirFinalTarget) {
  // out/chain.json → ../hop.json → data/real.json, which exists; and
  // out/dangling.json → ../data/new.json, which does not yet.
  scratch.makeDirectory("data");
  writeOld(scratch.path("data/real.json"));
  scratch.makeSymlink("hop.json", "data/real.json");
  scratch.makeSymlink("out/chain.json", "../hop.json");
  scratch.makeSymlink("out/dangling.json", "../data/new.json");
  for (const char *link : {"out/chain.json", "out/dangling.json"}) {
    QuillaneRun run = runQuillane(scratch.root(), std::string("scan tree --quiet --json ") + link);
    ASSERT_EQ(run.status, 0) << run.err;
  }
  for (const char *link : {"hop.json", "out/chain.json", "out/dangling.json"})
    EXPECT_TRUE(fs::is_symlink(scratch.path(link))) << link;
  EXPECT_EQ(readExport(readFile(scratch.path("data/real.json"))).entries, 2);
  EXPECT_EQ(readExport(readFile(scratch.path("data/new.json"))).entries, 2);
  EXPECT_EQ(listing(scratch.path("data")), (std::set<std::string>{"new.json", "real.json"}));
}

// In a sticky, world-writable folder such as /tmp, a link another user
// planted is not followed, whatever fs.protected_symlinks says: it could
// name any file, which a root's output would replace. Our own link there is.
TEST_F(OutputFile, ALinkAnotherUserPlantedInASharedFolderIsNotFollowed) {
  if (::geteuid() != 0)
    GTEST_SKIP() << "needs root, to plant a link owned by another user";
  scratch.makeDirectory("shared");
  ASSERT_EQ(::chmod(scratch.path("shared").c_str(), 01777), 0);
  scratch.makeDirectory("data");
  writeOld(scratch.path("data/victim"));
  scratch.makeSymlink("shared/planted.json", "../data/victim");
  scratch.makeSymlink("shared/planted-new.json", "../data/created");
  scratch.makeSymlink("shared/planted-device.json", "/dev/null"); // written in place
  scratch.makeSymlink("shared/own.json", "../data/mine.json");
  scratch.makeSymlink("via-own.json", "shared/planted.json"); // the planted link second
  for (const char *planted : {"shared/planted.json", "shared/planted-new.json", "shared/planted-device.json"})
    ASSERT_EQ(::lchown(scratch.path(planted).c_str(), 65534, 65534), 0);
  for (const char *link :
       {"shared/planted.json", "shared/planted-new.json", "shared/planted-device.json", "via-own.json"}) {
    SCOPED_TRACE(link);
    const QuillaneRun run = runQuillane(scratch.root(), std::string("scan tree --quiet --json ") + link);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find(std::string("cannot write ") + link + ": Permission denied"), std::string::npos)
        << run.err;
  }
  EXPECT_EQ(fs::file_size(scratch.path("data/victim")), 200'000u);
  const QuillaneRun own = runQuillane(scratch.root(), "scan tree --quiet --json shared/own.json");
  ASSERT_EQ(own.status, 0) << own.err;
  EXPECT_EQ(readExport(readFile(scratch.path("data/mine.json"))).entries, 2);
  EXPECT_EQ(listing(scratch.path("data")), (std::set<std::string>{"mine.json", "victim"}));
  EXPECT_EQ(listing(scratch.path("shared")),
            (std::set<std::string>{"own.json", "planted-device.json", "planted-new.json", "planted.json"}));
}

TEST_F(OutputFile, DanglingLinkTargetDoesNotExistUntilTheOutputIsComplete) {
  // The SVG goes to a FIFO nobody reads, so the run stops there with the
  // JSON's temporary made: the moment to look at the link's target.
  scratch.makeDirectory("data");
  scratch.makeSymlink("link.json", "data/target.json");
  scratch.makeFifo("pipe");
  const pid_t pid = startQuillane({"treemap", "tree", "--json", "link.json", "--svg", "pipe"}, scratch.root());
  ASSERT_GT(pid, 0);
  int status = 0;
  pid_t ended = 0;
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return !fs::is_empty(scratch.path("data")) || (ended = ::waitpid(pid, &status, WNOHANG)) != 0; }, 10'000));
  ASSERT_EQ(ended, 0) << "ended before writing anything";
  // Blocked in openat on the FIFO: every temporary is registered by then.
  EXPECT_TRUE(QTest::qWaitFor([&] { return blockedInOpen(pid); }, 10'000));
  EXPECT_FALSE(fs::exists(scratch.path("data/target.json"))) << "the target exists before the output is complete";
  EXPECT_EQ(listing(scratch.path("data")).size(), 1u) << "no temporary beside the target";
  // Stuck opening the FIFO, the program can honour only a second signal,
  // which must still remove the temporary.
  ::kill(pid, SIGTERM);
  ::kill(pid, SIGINT);
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFSIGNALED(status));
  EXPECT_TRUE(fs::is_empty(scratch.path("data"))) << "the target or its temporary was left";

  QuillaneRun run = runQuillane(scratch.root(), "treemap tree --json link.json");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(fs::is_symlink(scratch.path("link.json")));
  EXPECT_EQ(nlohmann::json::parse(readFile(scratch.path("data/target.json"))).size(), 1u);
}

} // namespace
} // namespace quillane::test
