#include "TarnwickCore/Catalogue/CacheSizeMeasurer.h"
#include "TarnwickCore/Support/ScopeExit.h"
#include "TestSupport/ScopedNoDacOverride.h"
#include "TestSupport/TempTree.h"

#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>

namespace tarnwick {
namespace {

using quillane::test::duBytes;
using quillane::test::FindTotals;
using quillane::test::findTotals;
using quillane::test::TempTree;

TEST(CacheSizeMeasurerTest, WhatALocationCounts) {
  TempTree tree;
  tree.makeSparseFile("sparse", 3 << 20);
  tree.makeSymlink("link", "folder");
  tree.makeDirectory("plain/empty/inside");
  tree.makeSparseFile("plain/a/sparse", 1 << 24);
  tree.makeFifo("plain/a/pipe");
  tree.makeSymlink("plain/a/b/toLarge", "../../../Root.app/Tool.app/Contents/big");
  tree.makeSymlink("plain/toOutside", "../Root.app");
  // Cleaning keeps an excluded entry whole, so nothing below it is counted.
  // Packages below the location are not entered; the location itself is
  // walked whatever its name, and a file with the extension still counts.
  // A hard-linked file counts once, and only when every name is inside; a
  // name the filter keeps holds its file.
  for (const auto &[file, bytes] : {std::pair{"folder/Cookies", 8192}, {"excluding/skip/inside", 4096},
                                    {"excluding/plain/skip/inside", 8192}, {"excluding/plain/skip-not", 16384},
                                    {"excluding/skip-not", 12288}, {"Root.app/Tool.app/Contents/big", 1 << 20},
                                    {"Root.app/Kit.FRAMEWORK/big", 1 << 20}, {"Root.app/notes.app", 4096},
                                    {"Root.app/small", 8192}, {"links/all/wheel", 400 << 10},
                                    {"links/part/plain", 8192}, {"links/part/shared", 200 << 10},
                                    {"links/part/Cookies", 64 << 10}, {"plain/top", 5000}, {"plain/.hidden", 9000},
                                    {"plain/a/b/c/deep", 70000}, {"plain/a/.git/objects/pack", 12000}})
    tree.writeFile(file, bytes);
  for (const auto &[existing, name] : {std::pair{"links/all/wheel", "links/all/sub/wheel"},
                                       {"links/all/wheel", "links/all/wheel-again"},
                                       {"links/part/shared", "links/elsewhere/shared"},
                                       {"links/part/Cookies", "links/part/cache/copy"}})
    tree.makeHardLink(existing, name);
  auto cookies = [](std::string_view name) { return name == "Cookies"; };
  auto skip = [](std::string_view name) { return name == "skip"; };
  // Files and folders alike: a folder's listing takes blocks, freed with it
  // unless it holds an entry the filter keeps.
  auto bytes = [&](const char *path) { return duBytes(tree.path(path)); };
  auto own = [&](const char *path) {
    struct stat st{};
    return ::lstat(tree.path(path).c_str(), &st) == 0 ? std::int64_t{st.st_blocks} * 512 : -1;
  };
  auto whole = [&](const char *path) {
    const FindTotals totals = findTotals(tree.path(path));
    return totals.bytes + totals.folderBytes;
  };
  struct Case {
    const char *path;
    CacheSizeMeasurer::NameFilter filter;
    std::int64_t expected;
  };
  const Case cases[] = {
      {"missing", {}, 0},
      {"link", {}, 0},                 // never followed, though the folder has data
      {"sparse", {}, 3 << 20},         // a file counts its length, not its blocks
      {"folder/Cookies", cookies, 0},  // an excluded file at the location
      {"folder", cookies, 0},          // its only file is excluded, so it stays
      {"folder", {}, bytes("folder")},
      {"excluding", skip, bytes("excluding/plain/skip-not") + bytes("excluding/skip-not")},
      {"Root.app", {}, bytes("Root.app/notes.app") + bytes("Root.app/small") + own("Root.app")},
      {"links/all", {}, whole("links/all")}, // find counts each inode once
      {"links/part", {}, bytes("links/part/plain") + bytes("links/part/Cookies") + own("links/part") +
                             own("links/part/cache")},
      {"links/part", cookies, bytes("links/part/plain") + own("links/part/cache")},
      {"links/part/shared", {}, 0}, // a file location whose other name is elsewhere
      {"links", {}, whole("links")}, // every name inside again
      {"plain", {}, whole("plain")}, // no hard links, and its links lead out of it
  };
  for (const Case &c : cases)
    EXPECT_EQ(CacheSizeMeasurer::measure(tree.path(c.path), c.filter), c.expected) << c.path;
  // A folder that cannot be entered cannot be emptied: the folders above
  // it stay, and only what could be read and removed counts.
  tree.writeFile("locking/file", 8192);
  tree.writeFile("locking/locked/inside", 8192);
  ASSERT_EQ(::chmod(tree.path("locking/locked").c_str(), 0), 0);
  {
    const quillane::test::ScopedNoDacOverride asAnyone;
    EXPECT_EQ(CacheSizeMeasurer::measure(tree.path("locking")), bytes("locking/file"));
  }
  ASSERT_EQ(::chmod(tree.path("locking/locked").c_str(), 0700), 0);
  std::stop_source stopped; // a cancel does not wait for the whole walk
  stopped.request_stop();
  EXPECT_LT(CacheSizeMeasurer::measure(tree.path("plain"), {}, stopped.get_token()),
            findTotals(tree.path("plain")).bytes);
}

TEST(CacheSizeMeasurerTest, TreesDeeperThanTheDescriptorLimit) {
  // Each level holds the next level "a" and a folder "z" with a file. The
  // creation order alternates, so whatever order the file system lists in,
  // many levels list "z" after "a": the walk must come back to them, long
  // after their descriptors were given up, and still open "z".
  TempTree tree;
  std::string level;
  for (int i = 0; i < 150; ++i, level += "a/") {
    for (const char *name : i % 2 ? std::array{"z", "a"} : std::array{"a", "z"})
      tree.makeDirectory(level + name);
    tree.writeFile(level + "z/file", 4);
  }
  const FindTotals totals = findTotals(tree.root());
  const std::int64_t expected = totals.bytes + totals.folderBytes;
  ASSERT_GT(expected, 0);
  rlimit saved{};
  ::getrlimit(RLIMIT_NOFILE, &saved);
  rlimit lowered = saved;
  lowered.rlim_cur = 48;
  ::setrlimit(RLIMIT_NOFILE, &lowered);
  const ScopeExit restoreLimit([saved] { ::setrlimit(RLIMIT_NOFILE, &saved); });
  EXPECT_EQ(CacheSizeMeasurer::measure(tree.root()), expected);
}

// Both of the entry itself: a link is neither listed through nor dated by
// what it points at.
TEST(CacheSizeMeasurerTest, VisibleEntryNamesOrWhyThereAreNoneAndModificationTime) {
  TempTree tree;
  for (const char *name : {"folder/b", "folder/a", "folder/.hidden", "plain"})
    tree.writeFile(name, 10);
  tree.makeSymlink("link", "folder");
  const auto names = CacheSizeMeasurer::visibleEntryNames(tree.path("folder"));
  ASSERT_TRUE(names) << names.failure().message();
  EXPECT_EQ(*names, (std::vector<std::string>{"a", "b"}));
  const std::pair<const char *, int> failures[] = {{"missing", ENOENT}, {"plain", ENOTDIR}, {"link", ENOTDIR}};
  for (const auto &[name, error] : failures) {
    const auto listed = CacheSizeMeasurer::visibleEntryNames(tree.path(name));
    ASSERT_FALSE(listed) << name;
    EXPECT_EQ(listed.failure(), (Failure{"open", tree.path(name), error, ""}));
  }
  const timespec times[2] = {{0, UTIME_OMIT}, {1'600'000'000, 500'000'000}};
  ASSERT_EQ(::utimensat(AT_FDCWD, tree.path("link").c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
  EXPECT_EQ(CacheSizeMeasurer::modificationTime(tree.path("link")), 1'600'000'000.5);
  EXPECT_NE(CacheSizeMeasurer::modificationTime(tree.path("folder")), 1'600'000'000.5);
  EXPECT_EQ(CacheSizeMeasurer::modificationTime(tree.path("missing")), std::nullopt);
}

} // namespace
} // namespace tarnwick
