// What a scan's scope leaves out: excludes checked against `find` with the
// same exclusions, mount points through a rewritten device (any user) and
// through real tmpfs and bind mounts (root only), against `du -x`.
#include "TarnwickCore/Scan/FastBulkScanner.h"
#include "TarnwickCore/Tree/ArenaEdit.h"
#include "TestSupport/ScopedMount.h"
#include "TestSupport/ScriptedEntrySource.h"
#include "TestSupport/TempTree.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace tarnwick {
namespace {

using namespace quillane::test;
using Reason = ScanReport::SkippedMount::Reason;

// Every path of the tree below the root, relative to it.
std::set<std::string> relativePaths(const DiskTreeArena &arena) {
  std::set<std::string> paths;
  for (NodeID id = 1; id < static_cast<NodeID>(arena.nodeCount()); ++id)
    paths.insert(arena.node(id)->path.substr(arena.rootPath().size() + 1));
  return paths;
}

std::set<std::string> lines(const std::string &text, const std::string &prefix) {
  std::set<std::string> result;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);)
    result.insert(line.substr(prefix.size()));
  return result;
}

ScanScope scopeOf(bool oneFileSystem, bool includeRemote) {
  ScanScope scope;
  scope.oneFileSystem = oneFileSystem;
  scope.includeRemote = includeRemote;
  return scope;
}

TEST(ScanScopeExcludeTest, LeavesOutWhatFindPrunes) {
  TempTree tree;
  for (const char *file : {"a.o", "a.c", "src/b.o", "src/x/gen/g.c", "src/x/y/gen/h.c", "build/out.bin",
                           "src/build/keep.c", "node_modules/m/index.js", "web/node_modules/n.js", ".hidden",
                           "src/.cache/c", "cache/dir-file", "x/cache", "Name With Space/f"})
    tree.writeFile(file, 100);
  struct Case {
    std::vector<std::string> excludes;
    std::string findCondition; // the same exclusions, as a find expression
  };
  const std::string root = tree.root();
  const Case cases[] = {
      {{"*.o"}, "-name '*.o'"}, {{"node_modules"}, "-name node_modules"}, {{"cache/"}, "-type d -name cache"},
      {{"/build"}, "-path " + shellQuote(root + "/build")}, {{"src/*/gen"}, "-path " + shellQuote(root + "/src/x/gen")},
      {{".*"}, "-name '.*'"}, {{"Name With Space"}, "-name 'Name With Space'"},
      {{"*.o", "node_modules", "/src/build"},
       "-name '*.o' -o -name node_modules -o -path " + shellQuote(root + "/src/build")},
      {{"", "/"}, "-false"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.findCondition);
    FastBulkScanner scanner(4);
    ScanScope scope;
    scope.excludes = c.excludes;
    scanner.setScope(scope);
    const DiskTreeArena arena = scanner.scan(root);
    const std::string find = "find " + shellQuote(root) + " -mindepth 1 \\( " + c.findCondition + " \\) -prune";
    const std::set<std::string> kept = lines(runCommand(find + " -o -print"), root + "/");
    EXPECT_EQ(relativePaths(arena), kept);
    EXPECT_EQ(arena.scanReport().excludedCount,
              static_cast<std::int64_t>(lines(runCommand(find + " -print"), root + "/").size()));

    // A folder scanned again alone leaves out what the whole scan did.
    scanner.setScope(scope.forFolder(root + "/", root + "/src"));
    std::set<std::string> keptBelow;
    for (const std::string &path : kept)
      if (path.starts_with("src/"))
        keptBelow.insert(path.substr(4));
    EXPECT_EQ(relativePaths(scanner.scan(root + "/src")), keptBelow);
  }
}

TEST(ScanScopeExcludeTest, OnlyFoldersBelowTheRootAreMatchedFromIt) {
  struct Case {
    const char *root, *folder, *base;
  };
  for (const Case &c : {Case{"/", "/usr/lib", "usr/lib"}, Case{"/data/", "/data/x/", "x"}, Case{"/data", "/data", ""},
                        Case{"/data", "/data2/x", ""}, Case{"/data/x", "/data", ""}}) {
    SCOPED_TRACE(std::string(c.root) + " " + c.folder);
    EXPECT_EQ(ScanScope{}.forFolder(c.root, c.folder).excludesBase, c.base);
  }
}

TEST(ScanScopeMountTest, RemoteAndImageMountsAreLeftOutByTheirTableTypeUnknownOnesEntered) {
  TempTree tree;
  tree.writeFile("share/inner/data", 50'000);
  tree.writeFile("local", 10'000);
  const std::int64_t device = static_cast<std::int64_t>(makedev(0, 4000));
  struct Case {
    const char *type;
    ScanScope scope;
    std::optional<Reason> skipped;
  };
  const Case cases[] = {
      {"nfs4", {}, Reason::remote}, {"fuse.sshfs", {}, Reason::remote}, {"squashfs", {}, Reason::image},
      {"nfs", scopeOf(false, true), std::nullopt}, {"squashfs", scopeOf(false, true), std::nullopt},
      {"ext4", {}, std::nullopt}, {"fuse.mergerfs", {}, std::nullopt},
      {"ext4", scopeOf(true, false), Reason::otherFileSystem}, {"nfs", scopeOf(true, true), Reason::otherFileSystem},
      {"", {}, std::nullopt}, // not in the table: statfs tells (a plain folder here)
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(std::string(*c.type ? c.type : "unknown") + (c.scope.oneFileSystem ? " -x" : "") +
                 (c.scope.includeRemote ? " remote" : ""));
    Script script;
    script.onBatch = onDevice("share", device);
    FastBulkScanner scanner(2);
    scanner.setEntrySource(std::make_shared<ScriptedSource>(script));
    scanner.setMounts(PseudoFileSystemTable::fromMountInfo(
        *c.type ? "40 1 0:4000 / /mnt/x rw - " + std::string(c.type) + " server:/x rw\n" : std::string()));
    scanner.setScope(c.scope);
    const DiskTreeArena arena = scanner.scan(tree.root());
    const ScanReport &report = arena.scanReport();
    const std::optional<DiskNode> share = arena.node(findNodeByPath(arena, tree.path("share")).value_or(-1));
    ASSERT_TRUE(share && share->isDirectory);
    if (c.skipped) {
      EXPECT_TRUE(share->childIDs.empty());
      EXPECT_EQ(share->allocatedSize, 0);
      EXPECT_EQ(report.skippedMountCount, 1);
      const ScanReport::SkippedMount expected{tree.path("share"), c.type, *c.skipped};
      EXPECT_EQ(report.skippedMounts, std::vector{expected});
    } else {
      EXPECT_EQ(share->fileCount, 1);
      EXPECT_EQ(report.skippedMountCount, 0);
      EXPECT_TRUE(report.skippedMounts.empty());
    }
  }
}

// A tmpfs and a bind mount inside the scanned tree. The mounts go with the
// fixture, whatever the test did.
class ScanScopeRealMountTest : public ::testing::Test {
protected:
  void SetUp() override {
    if (::geteuid() != 0)
      GTEST_SKIP() << "mounting needs root";
    tree.writeFile("plain/file", 20'000);
    tree.makeDirectory("ram");
    tree.makeDirectory("bound");
    tmpfs.emplace(ScopedMount::tmpfs(tree.path("ram")));
    bind.emplace(ScopedMount::bind(tree.path("plain"), tree.path("bound")));
    if (!tmpfs->mounted() || !bind->mounted())
      GTEST_SKIP() << "this system refuses test mounts";
    tree.writeFile("ram/inside", 40'000);
    struct stat st {};
    ASSERT_EQ(::stat(tree.path("ram").c_str(), &st), 0);
    ramDevice = st.st_dev;
  }

  DiskTreeArena scan(const ScanScope &scope, std::optional<std::string> ramType = std::nullopt) {
    FastBulkScanner scanner(4);
    scanner.setScope(scope);
    if (ramType)
      scanner.setMounts(PseudoFileSystemTable::fromMountInfo(
          "40 1 " + std::to_string(major(ramDevice)) + ":" + std::to_string(minor(ramDevice)) + " / " +
          tree.path("ram") + " rw - " + *ramType + " server:/x rw\n"));
    return scanner.scan(tree.root());
  }

  TempTree tree;
  std::optional<ScopedMount> tmpfs, bind;
  dev_t ramDevice = 0;
};

TEST_F(ScanScopeRealMountTest, EntersWhatTheScopeAndTheMountTableAllowAsDuDoes) {
  using Skipped = ScanReport::SkippedMount;
  struct Case {
    const char *what;
    ScanScope scope;
    std::optional<std::string> ramType; // the tmpfs as the mount table names it
    const char *du;                     // what du agrees with, if anything
    std::int64_t files;
    std::vector<Skipped> skipped;
  };
  const Case cases[] = {
      {"every mount by default", {}, std::nullopt, "du", 3, {}},
      {"-x: the tmpfs is left out, the bind mount entered", scopeOf(true, false), std::nullopt, "du -x", 2,
       {{tree.path("ram"), "tmpfs", Reason::otherFileSystem}}},
      {"a real mount the table calls remote", {}, "nfs4", nullptr, 2, {{tree.path("ram"), "nfs4", Reason::remote}}},
      {"remote mounts included", scopeOf(false, true), "nfs4", "du", 3, {}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    const DiskTreeArena arena = scan(c.scope, c.ramType);
    EXPECT_EQ(arena.rootNode()->fileCount, c.files); // plain/file, bound/file and ram/inside
    if (c.du) {
      EXPECT_EQ(arena.rootNode()->allocatedSize,
                std::stoll(runCommand(std::string(c.du) + " -s -B1 " + shellQuote(tree.root()))));
    }
    EXPECT_EQ(arena.scanReport().skippedMounts, c.skipped);
    EXPECT_EQ(arena.scanReport().skippedMountCount, static_cast<std::int64_t>(c.skipped.size()));
  }
}

} // namespace
} // namespace tarnwick
