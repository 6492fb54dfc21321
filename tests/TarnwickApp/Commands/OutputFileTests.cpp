// What a destination is, not how its path is spelled, decides how an output
// is written: regular files (in /dev/shm or through /proc/self/cwd too) are
// replaced whole, links at their final target (unless another user planted
// them in a shared folder), and a dangling link's target appears only
// complete.
#include "TarnwickApp/Commands/QuillaneProcess.h"
#include "TestSupport/ScopedMount.h"

#include <gtest/gtest.h>

#include <QTest>

#include <csignal>
#include <filesystem>
#include <optional>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

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
  // Names as long as a name may be, which leave no room for a suffix; the
  // second is cut inside a two-byte character if cut at a fixed length.
  const std::string longName = std::string(250, 'o') + ".json";
  std::string longUtf8Name = "o";
  for (int i = 0; i < 125; ++i)
    longUtf8Name += "\u00e9";
  longUtf8Name += ".svg";
  struct Case {
    std::string command; // its destination is `file`
    std::string file;
    bool isJson;
    fs::perms mode; // the old file's, which the new one keeps
  };
  using enum fs::perms;
  const Case cases[] = {
      {"scan tree --quiet --json " + shm.root() + "/out.json", shm.root() + "/out.json", true, owner_read | owner_write},
      {"scan tree --quiet --json /proc/self/cwd/out.json", scratch.path("out.json"), true,
       owner_read | owner_write | group_read},
      {"treemap tree --svg " + shm.root() + "/out.svg", shm.root() + "/out.svg", false, owner_read | owner_write},
      {"treemap tree --svg /proc/self/cwd/out.svg", scratch.path("out.svg"), false,
       owner_all | group_read | group_exec},
      {"scan tree --quiet --json " + longName, scratch.path(longName), true, owner_read | owner_write},
      {"treemap tree --svg " + longUtf8Name, scratch.path(longUtf8Name), false, owner_read | owner_write},
  };
  ASSERT_EQ(longName.size(), 255u);
  ASSERT_EQ(longUtf8Name.size(), 255u);
  // As root the owner is kept too; anyone else cannot give a file away.
  const bool root = ::geteuid() == 0;
  for (const Case &c : cases) {
    SCOPED_TRACE(c.command);
    writeOld(c.file);
    fs::permissions(c.file, c.mode);
    if (root) {
      ASSERT_EQ(::chown(c.file.c_str(), 65534, 65534), 0);
    }
    const auto before = listing(fs::path(c.file).parent_path());
    // Under the usual mask, which grants a new file none of the modes above.
    QuillaneRun run = runQuillane(scratch.root(), c.command + " >/dev/null", "umask 022 &&");
    ASSERT_EQ(run.status, 0) << run.err;
    // A file written over in place would keep the old tail.
    EXPECT_LT(fs::file_size(c.file), 200'000u);
    if (c.isJson) {
      EXPECT_NO_THROW(EXPECT_EQ(readExport(readFile(c.file)).entries, 2));
    } else {
      EXPECT_TRUE(wellFormedXml(c.file)) << readFile(c.file).substr(0, 300);
    }
    EXPECT_EQ(listing(fs::path(c.file).parent_path()), before) << "a temporary was left";
    struct stat written;
    ASSERT_EQ(::stat(c.file.c_str(), &written), 0);
    EXPECT_EQ(written.st_mode & 07777, static_cast<mode_t>(c.mode));
    if (root) {
      EXPECT_EQ(written.st_uid, 65534u);
      EXPECT_EQ(written.st_gid, 65534u);
    }
  }
}

// /dev/stderr and /dev/fd/N name a descriptor the shell opened, often on a
// log: the output goes through it, after what the log held, and the file
// behind it is never replaced (nor written through a read-only one).
TEST_F(OutputFile, ADescriptorNameIsWrittenThroughTheDescriptor) {
  struct Case {
    std::string arguments;
    std::string redirection; // of the log
    bool writable;
  };
  const Case cases[] = {
      {"scan tree --quiet --json /dev/stderr", "2>>log", true},
      {"scan tree --quiet --report-json /dev/fd/7", "7>>log", true},
      {"scan tree --quiet --json /proc/self/fd/7", "7>>log", true},
      {"treemap tree --json /dev/fd/7", "7>>log", true},
      {"scan tree --quiet --json /dev/fd/7", "7<log", false},
  };
  const std::string firstLine = "first line\n";
  for (const Case &c : cases) {
    SCOPED_TRACE(c.arguments + " " + c.redirection);
    std::ofstream(scratch.path("log")) << firstLine;
    struct stat before;
    ASSERT_EQ(::stat(scratch.path("log").c_str(), &before), 0);
    int status = -1;
    runCommand("cd " + shellQuote(scratch.root()) + " && " + shellQuote(QUILLANE_BINARY) + " " + c.arguments +
                   " >/dev/null 2>/dev/null " + c.redirection,
               &status);
    const std::string log = readFile(scratch.path("log"));
    struct stat after;
    ASSERT_EQ(::stat(scratch.path("log").c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino) << "the log was replaced";
    if (!log.starts_with(firstLine)) {
      ADD_FAILURE() << "the log lost what it held: " << log.substr(0, 300);
      continue;
    }
    if (c.writable) {
      EXPECT_EQ(status, 0);
      EXPECT_TRUE(nlohmann::json::accept(log.substr(firstLine.size()))) << log.substr(0, 300);
    } else {
      EXPECT_EQ(status, 1);
      EXPECT_EQ(log, firstLine);
    }
  }
}

// A command with several outputs writes all or none: when one cannot be
// written (here to a full device), the others keep their old contents.
TEST_F(OutputFile, AFailedOutputLeavesTheOthersAsTheyWere) {
  if (!fs::exists("/dev/full"))
    GTEST_SKIP() << "no /dev/full to fail on";
  struct Case {
    std::string command;
    std::string kept; // an output written first, or a file written beside the failed one
    std::string failed = "/dev/full";
    std::string wrapper = {};
  };
  const Case cases[] = {
      {"treemap tree --json out.json --png /dev/full", "out.json"},
      {"treemap tree --json /dev/full --svg out.svg", "out.svg"},
      {"scan tree --quiet --json out.json --report-json /dev/full", "out.json"},
      {"scan tree --quiet --report-json out.json --json /dev/full", "out.json"},
      // Past the file size limit: the write fails, it does not end the process.
      {"scan tree --quiet --json out.json", "out.json", "out.json", "prlimit --fsize=100"},
      {"treemap tree --svg out.svg", "out.svg", "out.svg", "prlimit --fsize=100"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.wrapper + " " + c.command);
    writeOld(scratch.path(c.kept));
    const auto before = listing(scratch.root());
    const QuillaneRun run = runQuillane(scratch.root(), c.command + " >/dev/null", c.wrapper);
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_NE(run.err.find("cannot write " + c.failed), std::string::npos) << run.err;
    EXPECT_EQ(fs::file_size(scratch.path(c.kept)), 200'000u) << "replaced although the command failed";
    EXPECT_EQ(listing(scratch.root()), before) << "a temporary was left";
  }
}

// However it is named, an output never replaces or adds a file where the
// user's keys and profiles live; beside them it is written as usual.
TEST_F(OutputFile, NothingIsWrittenInsideAProtectedLocation) {
  scratch.writeFile(".ssh/authorized_keys", 0);
  std::ofstream(scratch.path(".ssh/authorized_keys")) << "ssh-ed25519 AAAA key";
  fs::create_directory_symlink(scratch.path(".ssh"), scratch.path("keys"));
  fs::create_symlink(scratch.path(".ssh/authorized_keys"), scratch.path("notes.json"));
  const std::string tree = shellQuote(scratch.path("tree"));
  std::optional<ScopedMount> bound; // another name for ~/.ssh that no link explains
  if (::geteuid() == 0) {
    scratch.makeDirectory("mnt");
    bound.emplace(ScopedMount::bind(scratch.path(".ssh"), scratch.path("mnt")));
  }
  std::vector<std::string> refused = {
      "scan " + tree + " --quiet --json " + shellQuote(scratch.path(".ssh/authorized_keys")),
      "scan " + tree + " --quiet --report-json " + shellQuote(scratch.path("notes.json")), // a link to it
      "treemap " + tree + " --svg " + shellQuote(scratch.path("keys/new.svg")),            // a new file, through a link
      "scan " + tree + " --quiet --json " + shellQuote(scratch.path("tree/../.ssh/x.json")),
  };
  if (bound && bound->mounted())
    refused.push_back("treemap " + tree + " --json " + shellQuote(scratch.path("mnt/x.json")));
  for (const std::string &command : refused) {
    SCOPED_TRACE(command);
    const auto before = listing(scratch.root());
    const QuillaneRun run = runQuillaneAtHome(scratch, command);
    EXPECT_EQ(run.status, 1) << run.out;
    EXPECT_NE(run.out.find("protected location (" + scratch.path(".ssh") + ")"), std::string::npos) << run.out;
    EXPECT_EQ(listing(scratch.root()), before);
    EXPECT_EQ(readFile(scratch.path(".ssh/authorized_keys")), "ssh-ed25519 AAAA key");
  }
  const QuillaneRun beside = runQuillaneAtHome(scratch, "scan " + tree + " --quiet --json " +
                                                            shellQuote(scratch.path("report.json")));
  EXPECT_EQ(beside.status, 0) << beside.out;
  EXPECT_TRUE(fs::exists(scratch.path("report.json")));
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
}

} // namespace
} // namespace quillane::test
