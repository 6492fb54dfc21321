// Comparing two scans: every entry of the newer tree knows its older size,
// changes reach every ancestor, the largest changes come first and stop at
// the limit, roots match whatever their paths, and either kind of scan file
// reads back into the same tree.
#include "TarnwickCore/Diff/ScanTreeFile.h"
#include "TarnwickCore/Diff/TreeComparison.h"
#include "TarnwickCore/Scan/FastBulkScanner.h"
#include "TarnwickCore/Snapshot/ScanSnapshotWriter.h"
#include "TarnwickCore/Tree/ArenaEdit.h"
#include "TestSupport/TempTree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>

namespace tarnwick {
namespace {

using namespace quillane::test;
using Change = TreeComparison::Change;

TreeComparison compared(const DiskTreeArena &older, const DiskTreeArena &newer) {
  std::optional<TreeComparison> comparison = TreeComparison::compare(older, newer);
  EXPECT_TRUE(comparison.has_value());
  return std::move(*comparison);
}

void writeBytes(const std::string &path, const std::string &bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

TEST(TreeComparison, FollowsEveryKindOfChangeUpToTheRoot) {
  TempTree tree;
  for (auto [path, bytes] : {std::pair{"a/keep", 8192}, {"a/grow", 4096}, {"a/shrink", 65536},
                             {"a/deep/x/file", 4096}, {"gone.bin", 16384}, {"old-name", 8192}, {"olddir/f", 4096}})
    tree.writeFile(path, static_cast<std::size_t>(bytes));
  const std::vector<std::string> watched = {"", "a", "a/keep", "a/grow", "a/shrink", "a/deep", "a/deep/x",
                                            "a/deep/x/file", "gone.bin", "old-name", "olddir", "olddir/f"};
  std::map<std::string, std::int64_t> before;
  for (const std::string &path : watched)
    before[path] = duBytes(tree.path(path));
  const DiskTreeArena older = FastBulkScanner().scan(tree.root());

  tree.writeFile("a/grow", 65536);
  tree.writeFile("a/shrink", 4096);
  tree.writeFile("a/deep/x/file", 131072);
  tree.writeFile("new.bin", 32768);
  std::rename(tree.path("old-name").c_str(), tree.path("new-name").c_str());
  runCommand("rm -r " + shellQuote(tree.path("gone.bin")) + " " + shellQuote(tree.path("olddir")));
  const DiskTreeArena newer = FastBulkScanner().scan(tree.root());
  const TreeComparison comparison = compared(older, newer);

  const struct {
    const char *path;
    Change change;
  } cases[] = {{"", Change::grown},        {"a", Change::grown},         {"a/keep", Change::unchanged},
               {"a/grow", Change::grown},  {"a/shrink", Change::shrunk}, {"a/deep", Change::grown},
               {"a/deep/x", Change::grown}, {"a/deep/x/file", Change::grown}, {"new.bin", Change::added},
               {"new-name", Change::added}};
  for (const auto &entry : cases) {
    SCOPED_TRACE(entry.path);
    const std::optional<NodeID> id = findNodeByPath(newer, tree.path(entry.path));
    ASSERT_TRUE(id);
    EXPECT_EQ(comparison.change(*id), entry.change);
    EXPECT_EQ(comparison.olderSize(*id),
              entry.change == Change::added ? std::nullopt : std::optional(before[entry.path]));
  }
  EXPECT_EQ(comparison.totalDifference(), duBytes(tree.root()) - before[""]);

  const std::vector<SizeChange> rows = comparison.largestChanges(100);
  std::map<std::string, SizeChange> byPath;
  for (const SizeChange &row : rows)
    byPath[row.path.substr(tree.root().size())] = row;
  EXPECT_FALSE(byPath.contains("/a/keep")) << "unchanged entries are not listed";
  for (const char *gone : {"/gone.bin", "/old-name", "/olddir", "/olddir/f"}) {
    SCOPED_TRACE(gone);
    ASSERT_TRUE(byPath.contains(gone));
    EXPECT_EQ(byPath[gone].before, before[gone + 1]);
    EXPECT_EQ(byPath[gone].after, std::nullopt);
  }
  EXPECT_EQ(byPath["/new-name"].after, duBytes(tree.path("new-name")));
  EXPECT_EQ(byPath["/a/shrink"].difference(), duBytes(tree.path("a/shrink")) - before["a/shrink"]);
  EXPECT_EQ(rows.size(), 13u) << "root, a, grow, shrink, deep, x, file, new.bin, new-name and four gone";
  for (std::size_t i = 1; i < rows.size(); ++i)
    EXPECT_GE(std::abs(rows[i - 1].difference()), std::abs(rows[i].difference())) << rows[i].path;
}

TEST(TreeComparison, ListsUpToTheLimitEqualChangesByPathAndNothingWhenCancelled) {
  TempTree tree;
  tree.makeDirectory("d");
  const DiskTreeArena older = FastBulkScanner().scan(tree.root());
  for (const char *name : {"d/c", "d/a", "d/b"})
    tree.writeFile(name, 4096);
  tree.writeFile("d/big", 8192);
  const DiskTreeArena newer = FastBulkScanner().scan(tree.root());
  std::stop_source stop;
  stop.request_stop();
  EXPECT_FALSE(TreeComparison::compare(older, newer, stop.get_token()));
  const TreeComparison comparison = compared(older, newer);
  const std::string d = tree.path("d");
  const struct {
    std::size_t limit;
    std::vector<std::string> paths;
  } cases[] = {{0, {}},
               {3, {tree.root(), d, d + "/big"}}, {5, {tree.root(), d, d + "/big", d + "/a", d + "/b"}},
               {9, {tree.root(), d, d + "/big", d + "/a", d + "/b", d + "/c"}}};
  for (const auto &entry : cases) {
    std::vector<std::string> paths;
    for (const SizeChange &row : comparison.largestChanges(entry.limit))
      paths.push_back(row.path);
    EXPECT_EQ(paths, entry.paths) << "limit " << entry.limit;
  }
}

// Sizes at the ends of std::int64_t (which no reader accepts, but an arena
// can hold) give differences held at ±INT64_MAX, never wrapped around.
TEST(TreeComparison, ExtremeSizesSaturateTheDifferences) {
  const auto arena = [](std::int64_t rootSize, std::int64_t childSize, std::string child) {
    DiskTreeArena::RecordTable records(2);
    records[0] = {{rootSize, 0, 0, 0, 1, 0, 0, 0}, -1, 1, 1, 1, 0};
    records[1] = {{childSize, 0, 1, child.size(), 0, 0, 0, 0}, 0, 0, 0, 1, 0};
    const std::string names = "r" + child;
    return DiskTreeArena("/r", std::move(records), DiskTreeArena::NamePool(names.begin(), names.end()));
  };
  const DiskTreeArena low = arena(INT64_MIN, INT64_MIN, "gone"), high = arena(INT64_MAX, INT64_MAX, "new");
  const struct {
    const DiskTreeArena &older, &newer;
    std::int64_t total;
  } cases[] = {{low, high, INT64_MAX}, {high, low, -INT64_MAX}};
  for (const auto &c : cases) {
    const TreeComparison comparison = compared(c.older, c.newer);
    EXPECT_EQ(comparison.totalDifference(), c.total);
    const std::vector<SizeChange> rows = comparison.largestChanges(10);
    ASSERT_EQ(rows.size(), 3u);
    for (const SizeChange &row : rows)
      EXPECT_EQ(row.difference() > 0 ? row.difference() : -row.difference(), INT64_MAX) << row.path;
  }
}

TEST(TreeComparison, MatchesRootsWhateverTheirPaths) {
  TempTree server, here;
  for (const TempTree *tree : {&server, &here}) {
    tree->writeFile("x/f", 4096);
    tree->writeFile("y", 8192);
  }
  server.writeFile("z", 4096);
  here.writeFile("x/f", 16384);
  const TreeComparison comparison =
      compared(FastBulkScanner().scan(server.root()), FastBulkScanner().scan(here.root()));
  std::vector<std::string> paths;
  for (const SizeChange &row : comparison.largestChanges(10))
    paths.push_back(row.path);
  std::sort(paths.begin(), paths.end());
  EXPECT_EQ(paths, (std::vector<std::string>{here.root(), here.path("x"), here.path("x/f"), here.path("z")}));
  EXPECT_EQ(comparison.olderMatch(*findNodeByPath(comparison.newer(), here.path("y"))),
            findNodeByPath(comparison.older(), server.path("y")));
}

// ncdu's export is an oracle apart from the scanner and the snapshot format.
TEST(ScanTreeFile, ReadsASnapshotAndAnExportOfOneTreeAlike) {
  TempTree tree, files;
  tree.writeFile("a/b/c", 12288);
  tree.writeFile("d", 4096);
  writeBytes(files.path("scan.qsnap"), ScanSnapshotWriter::encode(FastBulkScanner().scan(tree.root()), 1'765'000'000));
  int status = -1;
  runCommand("ncdu -0 -x -o " + shellQuote(files.path("scan.json")) + " " + shellQuote(tree.root()) + " 2>&1", &status);
  ASSERT_EQ(status, 0);
  const ScanTreeFile older = std::get<ScanTreeFile>(ScanTreeFile::read(files.path("scan.qsnap")));
  const ScanTreeFile newer = std::get<ScanTreeFile>(ScanTreeFile::read(files.path("scan.json")));
  EXPECT_EQ(older.format, ScanTreeFile::Format::snapshot);
  EXPECT_EQ(older.scanTime, 1'765'000'000);
  EXPECT_EQ(newer.format, ScanTreeFile::Format::exportFile);
  const TreeComparison comparison = compared(older.arena, newer.arena);
  EXPECT_EQ(comparison.largestChanges(100), std::vector<SizeChange>{});
  EXPECT_EQ(comparison.totalDifference(), 0);
}

TEST(ScanTreeFile, RefusesWithTheFileAndTheReadersWords) {
  TempTree files;
  std::string snapshot = ScanSnapshotWriter::encode(FastBulkScanner().scan(files.root()), 0);
  snapshot.back() ^= 1;
  writeBytes(files.path("damaged.qsnap"), snapshot);
  writeBytes(files.path("notes.txt"), "not a scan\n");
  using Kind = ScanTreeFileError::Kind;
  const struct {
    const char *name;
    Kind kind;
  } cases[] = {{"missing", Kind::unreadable}, {"damaged.qsnap", Kind::snapshot}, {"notes.txt", Kind::exportFile}};
  for (const auto &entry : cases) {
    SCOPED_TRACE(entry.name);
    const ScanTreeFile::Outcome outcome = ScanTreeFile::read(files.path(entry.name));
    ASSERT_TRUE(std::holds_alternative<ScanTreeFileError>(outcome));
    const ScanTreeFileError &error = std::get<ScanTreeFileError>(outcome);
    EXPECT_EQ(error.kind, entry.kind);
    EXPECT_TRUE(error.message().starts_with(files.path(entry.name) + ": ")) << error.message();
    EXPECT_FALSE(error.detail.empty());
  }
}

} // namespace
} // namespace tarnwick
