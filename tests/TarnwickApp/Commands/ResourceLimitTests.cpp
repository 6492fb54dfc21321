// The real binary under prlimit: whatever runs out (file descriptors,
// address space, threads), a scan reports the tree find sees, or fails with
// exit 1 and says what ran out; never a short total, an abort or a leftover
// temporary.
#include "TarnwickApp/Commands/QuillaneProcess.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <linux/close_range.h>
#include <unistd.h>

namespace quillane::test {
namespace {

// Sanitizer runtimes reserve terabytes of address space and start threads
// and open files of their own, so limits meant for quillane hit them first.
constexpr bool underSanitizer() {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  return true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
  return true;
#endif
#endif
  return false;
}

struct LimitCase {
  const char *limits;  // prepended to the command: prlimit and friends
  const char *options; // after "scan tree --quiet --json out/out.json"
  bool mustSucceed;
};

void PrintTo(const LimitCase &c, std::ostream *out) { *out << c.limits << " … " << c.options; }

// A tree wider (40 folders) and deeper than the descriptors any case leaves.
class ResourceLimit : public ::testing::Test {
protected:
  void SetUp() override {
    // Descriptors inherited from whoever runs the tests (ctest's pipes)
    // would count against the limits below in every child.
    ::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC);
    if (underSanitizer())
      GTEST_SKIP() << "the sanitizer runtime needs more descriptors, threads and address space than the limits leave";
    if (!installed("prlimit"))
      GTEST_SKIP() << "prlimit is not installed";
    for (int d = 0; d < 40; ++d)
      scratch.writeFile("tree/d" + std::to_string(d) + "/a/b/file", 5000);
    scratch.makeDirectory("out");
    // Readable and writable for the unprivileged user of the thread cases.
    runCommand("chmod -R a+rX " + shellQuote(scratch.root()) + " && chmod a+rwx " + shellQuote(scratch.path("out")));
    oracle = findTotals(scratch.path("tree"));
  }

  // Success means the whole tree, in the summary and in the JSON; failure
  // means exit 1, a message naming one of `shortages`, and no file left.
  void expectWholeTreeOrCleanFailure(const LimitCase &c, std::initializer_list<const char *> shortages) {
    SCOPED_TRACE(::testing::PrintToString(c));
    QuillaneRun run =
        runQuillane(scratch.root(), std::string("scan tree --quiet --json out/out.json ") + c.options, c.limits);
    if (run.status == 0) {
      EXPECT_EQ(summaryNumber(run.out, "Total size"), duBytes(scratch.path("tree"))) << run.out;
      EXPECT_EQ(summaryNumber(run.out, "Directories"), oracle.directories) << run.out;
      EXPECT_EQ(summaryNumber(run.out, "Inaccessible"), 0) << run.out;
      EXPECT_EQ(readExport(readFile(scratch.path("out/out.json"))).dsizeSum, duBytes(scratch.path("tree")));
      std::filesystem::remove(scratch.path("out/out.json"));
    } else {
      EXPECT_FALSE(c.mustSucceed) << "exit " << run.status << ": " << run.err;
      EXPECT_EQ(run.status, 1) << run.err;
      bool named = false;
      for (const char *shortage : shortages)
        named = named || run.err.find(shortage) != std::string::npos;
      EXPECT_TRUE(named) << run.err;
    }
    EXPECT_TRUE(std::filesystem::is_empty(scratch.path("out"))) << "a JSON file or its temporary was left";
  }

  TempTree scratch;
  FindTotals oracle;
};

TEST_F(ResourceLimit, FewDescriptorsAreWaitedForAndNoneFailsTheScan) {
  // Standard streams, the interrupt watcher's two descriptors and the
  // temporary JSON file take six; what is left is shared by up to 32 walkers.
  const LimitCase cases[] = {
      {"prlimit --nofile=6", "", false},
      {"prlimit --nofile=7", "--concurrency 32", true},
      {"prlimit --nofile=8", "--concurrency 32 --file-manager", true},
      {"prlimit --nofile=12", "", true},
  };
  for (const LimitCase &c : cases)
    expectWholeTreeOrCleanFailure(c, {"out of file descriptors"});
}

// With too few descriptors for the interrupt watcher's wake-up, the
// command still ends (it once waited for the watcher for ever).
TEST_F(ResourceLimit, TooFewDescriptorsToWatchForSignalsStillEnd) {
  scratch.writeFile("home/.cache/junk", 10);
  const std::string wrapper = "HOME=" + shellQuote(scratch.path("home")) + " timeout -k 5 20 prlimit --nofile=4";
  const QuillaneRun run = runQuillane(scratch.root(), "trash " + shellQuote(scratch.path("home/.cache/junk")), wrapper);
  EXPECT_EQ(run.status, 1) << run.out << run.err;
  // Refused for lack of descriptors, whichever check meets the shortage first.
  EXPECT_TRUE(contains(run.out + run.err, " of 1 cleaned")) << run.out << run.err;
  EXPECT_TRUE(std::filesystem::exists(scratch.path("home/.cache/junk")));
}

// Caches that cannot be opened for want of descriptors are no absent
// caches: the listing fails and says so, rather than "nothing to clean".
TEST_F(ResourceLimit, FewDescriptorsFailTheCacheListingRatherThanShortenIt) {
  std::string deep = "home/.cache/yarn";
  for (int level = 0; level < 40; ++level)
    deep += "/d";
  scratch.writeFile(deep + "/big", 1'000'000);
  scratch.writeFile("home/.cache/pip/wheel", 5000);
  for (const char *limit : {"4", "5", "8", "32"}) {
    const QuillaneRun run = runQuillane(scratch.root(), "caches --json",
                                        "HOME=" + shellQuote(scratch.path("home")) + " prlimit --nofile=" + limit);
    SCOPED_TRACE(limit);
    if (run.status == 0) {
      std::int64_t yarnBytes = -1;
      for (const auto &item : nlohmann::json::parse(run.out))
        if (item["path"] == scratch.path("home/.cache/yarn"))
          yarnBytes = item["sizeBytes"].get<std::int64_t>();
      EXPECT_GE(yarnBytes, 1'000'000) << "the deep megabyte counts: " << run.out;
    } else {
      EXPECT_EQ(run.status, 1);
      EXPECT_NE(run.err.find("out of file descriptors"), std::string::npos) << run.err;
    }
  }
}

TEST_F(ResourceLimit, LittleAddressSpaceFailsCleanly) {
  // 32 walker threads want 256 MB of stacks alone, so at these limits some
  // threads, or some memory, are refused.
  for (int megabytes = 150; megabytes <= 700; megabytes += 50) {
    std::string limits = "prlimit --as=" + std::to_string(megabytes * 1'000'000);
    LimitCase c{limits.c_str(), "--concurrency 32", false};
    int status = 0;
    runCommand(limits + " " + shellQuote(QUILLANE_BINARY) + " --version >/dev/null 2>&1", &status);
    if (status != 0)
      continue; // too little to load the program's libraries at all
    expectWholeTreeOrCleanFailure(c, {"out of memory", "cannot start threads"});
  }
}

// A picture too large for the memory left is refused for that reason.
TEST_F(ResourceLimit, APictureLargerThanTheMemoryLeftSaysSo) {
  const std::string limit = "prlimit --as=" + std::to_string(900'000'000);
  int status = 0;
  runCommand(limit + " " + shellQuote(QUILLANE_BINARY) + " --version >/dev/null 2>&1", &status);
  if (status != 0)
    GTEST_SKIP() << "too little to load the program's libraries at all";
  const QuillaneRun run = runQuillane(scratch.root(), "treemap tree --size 16384x16384 --png out/p.png", limit);
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_NE(run.err.find(std::strerror(ENOMEM)), std::string::npos) << run.err;
  EXPECT_TRUE(std::filesystem::is_empty(scratch.path("out")));
}

TEST_F(ResourceLimit, FewThreadsMeanFewerWalkers) {
  // Root ignores RLIMIT_NPROC, so the scan runs as a user of its own, whose
  // processes and threads are quillane's alone.
  if (::geteuid() != 0)
    GTEST_SKIP() << "needs root to run the scan as a user with no other processes";
  if (!installed("setpriv"))
    GTEST_SKIP() << "setpriv is not installed";
  const std::string user = std::to_string(1'000'000'000 + ::getpid());
  const std::string asUser = " setpriv --reuid=" + user + " --regid=" + user + " --clear-groups";
  // One thread: not even the interrupt watcher starts. Three: the watcher
  // and one walker beside the main thread. Twenty: 18 of 32 walkers.
  for (const auto &[threads, mustSucceed] : {std::pair{1, false}, {3, true}, {20, true}}) {
    const std::string limit = "prlimit --nproc=" + std::to_string(threads) + asUser;
    expectWholeTreeOrCleanFailure({limit.c_str(), "--concurrency 32", mustSucceed}, {"cannot start threads"});
  }
}

// Whichever step runs out of descriptors (listing the Trash or opening a
// trash folder again to empty it), the user is told what ran out and the
// items stay where they were.
TEST_F(ResourceLimit, EmptyingTheTrashWithFewDescriptorsSaysWhatRanOut) {
  const std::string atHome = "HOME=" + shellQuote(scratch.path("home"));
  for (int limit = 4; limit <= 12; ++limit) {
    SCOPED_TRACE(limit);
    for (const char *name : {"a", "b", "c"}) {
      scratch.writeFile(std::string("home/") + name, 10);
      ASSERT_EQ(runQuillane(scratch.root(), std::string("trash home/") + name, atHome).status, 0);
    }
    const std::string prlimit = atHome + " prlimit --nofile=" + std::to_string(limit);
    const QuillaneRun run = runQuillane(scratch.root(), "trash --empty --yes", prlimit);
    const bool emptied = std::filesystem::is_empty(scratch.path("home/.local/share/Trash/files"));
    EXPECT_EQ(run.status == 0, emptied) << run.out << run.err;
    EXPECT_TRUE(emptied || contains(run.out + run.err, "Too many open files")) << run.out << run.err;
    runQuillane(scratch.root(), "trash --empty --yes", atHome);
  }
}

} // namespace
} // namespace quillane::test
