// The frozen tree, and the temporary nodes it is frozen from: how they are
// laid out, and how their memory goes back as the freeze copies them.
#include "TarnwickCore/Support/ScanErrors.h"
#include "TarnwickCore/Tree/ArenaRecordEditor.h"
#include "TarnwickCore/Tree/ChildBlockWalk.h"
#include "TarnwickCore/Tree/DiskTreeArena.h"
#include "TarnwickCore/Tree/TempArenaDrain.h"
#include "TarnwickCore/Tree/TempNodeArena.h"
#include "TarnwickCore/Tree/TempNodeStaging.h"
#include "TestSupport/ArenaDescription.h"

#include <gtest/gtest.h>

#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <stop_token>
#include <string>

namespace tarnwick {
namespace {

// A tree description: directories have children (possibly none), files a size.
struct Shape {
  std::string name;
  bool isDirectory = false;
  std::int64_t size = 0;
  std::vector<Shape> children = {};
  bool isPackage = false;
  double modified = 0;
};

Shape file(std::string name, std::int64_t size) { return {std::move(name), false, size}; }
Shape folder(std::string name, std::vector<Shape> children) {
  return {std::move(name), true, 0, std::move(children)};
}

void fill(TempNodeArena &arena, TempTreeNode &node, const Shape &shape) {
  std::string_view name = arena.storeName(shape.name);
  node.nameBytes = name.data();
  node.nameLength = static_cast<std::uint16_t>(name.size());
  node.isDirectory = shape.isDirectory;
  node.isPackage = shape.isPackage;
  node.allocatedSize = shape.size;
  node.modificationTimestamp = shape.modified;
  std::span<TempTreeNode> block = arena.allocateBlock(shape.children.size());
  node.adoptChildren(block);
  for (std::size_t i = 0; i < block.size(); ++i)
    fill(arena, block[i], shape.children[i]);
}

// The root of `shape`, laid out in `arena` block by block, depth first.
TempTreeNode &plant(TempNodeArena &arena, const Shape &shape) {
  TempTreeNode &node = arena.allocateBlock(1)[0];
  fill(arena, node, shape);
  return node;
}

DiskTreeArena freeze(const Shape &root, ScanReport report = {}) {
  TempNodeArena arena;
  TempTreeNode &node = plant(arena, root);
  node.aggregate();
  return freezeTree(node, "/scan/" + root.name, 1, std::move(report));
}

// "f12" and the like. Appended, since g++ 12 at -O2 warns falsely
// (-Wrestrict) about "f" + std::string.
std::string numbered(std::string_view prefix, std::size_t number) {
  std::string name(prefix);
  name += std::to_string(number);
  return name;
}

std::vector<NodeID> ids(const std::vector<DiskNode> &nodes) {
  std::vector<NodeID> result;
  for (const DiskNode &node : nodes)
    result.push_back(node.id);
  return result;
}

TEST(DiskTreeArenaTest, FreezeNumbersBreadthFirstAndAggregates) {
  // A package counts as one directory and its files count as files.
  Shape package = folder("Tool.app", {file("binary", 50)});
  package.isPackage = true;
  DiskTreeArena arena = freeze(folder("root", {file("a", 10), folder("sub", {file("nested", 5), package}),
                                                file("b", 20)}));
  // Identifier, path, parent, size, files, folders and children's names.
  const std::vector<std::string> expected = {
      "0 /scan/root - 85 4 2 [ a sub b ]",         "1 /scan/root/a 0 10 1 0 [ ]",
      "2 /scan/root/sub 0 55 2 1 [ nested Tool.app ]", "3 /scan/root/b 0 20 1 0 [ ]",
      "4 /scan/root/sub/nested 2 5 1 0 [ ]",       "5 /scan/root/sub/Tool.app 2 50 1 0 [ binary ]",
      "6 /scan/root/sub/Tool.app/binary 5 50 1 0 [ ]",
  };
  EXPECT_EQ(quillane::test::describeArena(arena), expected);
  EXPECT_EQ(arena.nodeCount(), 7u);
  EXPECT_TRUE(arena.node(5)->isPackage);
}

TEST(DiskTreeArenaTest, ChildrenAreLargestFirstAndEqualSizesKeepIdentifierOrder) {
  // Enough ties that a sort which is not stable reorders them (the standard
  // sort keeps runs of up to 16 in order only by chance).
  std::vector<Shape> children = {file("small", 1), file("big", 9)};
  for (std::size_t i = 0; i < 40; ++i)
    children.push_back(file(numbered("tie", i), 7));
  DiskTreeArena arena = freeze(folder("root", std::move(children)));
  std::vector<NodeID> expected = {2};
  for (NodeID id = 3; id <= 42; ++id)
    expected.push_back(id);
  expected.push_back(1);
  EXPECT_EQ(ids(arena.children(0)), expected);
  // The largest few are the same, whatever part of the rest is left out.
  for (std::size_t limit : {0, 1, 5, 41}) {
    SCOPED_TRACE(limit);
    EXPECT_EQ(ids(arena.children(0, limit)), std::vector<NodeID>(expected.begin(), expected.begin() + limit));
  }
}

TEST(DiskTreeArenaTest, AnEmptyRootIsOneNodeAndInvalidIdentifiersAnswerEmpty) {
  DiskTreeArena lone = freeze(folder("root", {}));
  EXPECT_EQ(lone.nodeCount(), 1u);
  EXPECT_EQ(quillane::test::describeArena(lone), std::vector<std::string>{"0 /scan/root - 0 0 0 [ ]"});
  EXPECT_FALSE(DiskTreeArena().rootNode());

  DiskTreeArena arena = freeze(folder("root", {file("f", 1)}));
  for (NodeID id : {-1, -9999, 2, 1000}) {
    EXPECT_FALSE(arena.node(id)) << id;
    EXPECT_TRUE(arena.children(id).empty()) << id;
    EXPECT_TRUE(arena.breadcrumbChain(id).empty()) << id;
  }
  EXPECT_TRUE(arena.children(1).empty()); // a file
}

TEST(DiskTreeArenaTest, BreadcrumbRunsFromRootAndStopsAt512) {
  auto chainOf = [](int depth) {
    Shape leaf = file("leaf", 1);
    for (int level = depth - 1; level >= 1; --level)
      leaf = folder(numbered("d", static_cast<std::size_t>(level)), {std::move(leaf)});
    return freeze(folder("root", {std::move(leaf)}));
  };
  DiskTreeArena shallow = chainOf(3);
  EXPECT_EQ(ids(shallow.breadcrumbChain(0)), (std::vector<NodeID>{0}));
  EXPECT_EQ(ids(shallow.breadcrumbChain(3)), (std::vector<NodeID>{0, 1, 2, 3}));

  DiskTreeArena deep = chainOf(600);
  std::vector<DiskNode> chain = deep.breadcrumbChain(600);
  ASSERT_EQ(chain.size(), 512u);
  EXPECT_EQ(chain.front().id, 600 - 511);
  EXPECT_EQ(chain.back().id, 600);
  EXPECT_EQ(deep.rootNode()->fileCount, 1); // aggregation survives depth
}

TEST(DiskTreeArenaTest, EqualityComparesEveryFieldAndTheReport) {
  Shape shape = folder("root", {file("a", 3), folder("s", {file("b", 4)})});
  EXPECT_EQ(freeze(shape), freeze(shape));
  Shape renamed = shape;
  renamed.children[1].children[0].name = "c";
  EXPECT_NE(freeze(shape), freeze(renamed));
  // The report given to the freeze is the arena's, whole.
  const ScanReport report{.unreadableFolderCount = 1, .unreadablePaths = {{"open", "/scan/root/s", EACCES, ""}}};
  const DiskTreeArena reported = freeze(shape, report);
  EXPECT_EQ(reported.scanReport(), report);
  EXPECT_NE(freeze(shape), reported);
  ScanReport otherReason = report;
  otherReason.unreadablePaths[0].errorNumber = EIO;
  EXPECT_NE(freeze(shape, otherReason), reported);
}

// The four folder fields live in a table apart, which only the nodes that
// need them have entries in. An edit that puts a folder's record on a
// file's node must give it an entry of its own, growing that table, also
// when it ends exactly at a chunk's end; the original stays as it was.
TEST(DiskTreeArenaTest, EditsMoveFolderCountsBetweenNodesAndLeaveTheOriginalAlone) {
  using Record = DiskTreeArena::Record;
  auto same = [](const Record &a, const Record &b) {
    return a.allocatedSize == b.allocatedSize && a.nameLength == b.nameLength && a.isDirectory == b.isDirectory &&
           a.parentID == b.parentID && a.firstChildID == b.firstChildID && a.childCount == b.childCount &&
           a.fileCount == b.fileCount && a.directoryCount == b.directoryCount;
  };
  auto make = [](std::int64_t size, bool isDirectory, NodeID parent, std::uint32_t files, std::uint32_t folders) {
    return Record{{size, 0, 0, 0, isDirectory, 0, 0, 0}, parent, 0, 0, files, folders};
  };
  for (const std::size_t folderEntries : {std::size_t(1000), DiskTreeArena::chunkSize}) {
    SCOPED_TRACE(folderEntries);
    // The root, then empty folders (one entry each), then files.
    DiskTreeArena::RecordTable table{make(0, true, -1, 20, std::uint32_t(folderEntries - 1))};
    for (std::size_t i = 1; i < folderEntries; ++i)
      table.push_back(make(std::int64_t(i), true, 0, 0, 0));
    for (std::size_t i = 0; i < 20; ++i)
      table.push_back(make(std::int64_t(i + 5000), false, 0, 1, 0));
    table[0].childCount = std::uint32_t(table.size() - 1);
    table[0].firstChildID = 1;
    const DiskTreeArena::RecordTable expected = table;
    const DiskTreeArena original("/r", table, {});

    std::vector<Record> wanted(expected.begin(), expected.end());
    const auto firstFile = static_cast<NodeID>(folderEntries);
    wanted[firstFile] = make(7, true, 0, 3, 2);      // a file's node now holds a folder
    wanted[firstFile + 1] = make(8, false, 0, 0, 0); // a file counting no file needs an entry too
    wanted[1] = make(9, false, 0, 1, 0);             // a folder's node now holds a plain file
    wanted[2] = wanted[firstFile];                   // and another folder, over an entry
    ArenaRecordEditor editor(original);
    for (const NodeID id : {firstFile, firstFile + 1, NodeID(1), NodeID(2)})
      editor.write(id, wanted[static_cast<std::size_t>(id)]);
    const DiskTreeArena edited = std::move(editor).finish({}, {});
    for (std::size_t id = 0; id < table.size(); ++id) {
      EXPECT_TRUE(same(edited.record(NodeID(id)), wanted[id])) << id;
      EXPECT_TRUE(same(original.record(NodeID(id)), expected[id])) << id;
    }
  }
}

// A root holding `folders` folders of `filesEach` files, then one wide
// folder of `wideFiles` files (a block too large to share a chunk).
TempTreeNode &build(TempNodeArena &arena, std::size_t folders, std::size_t filesEach, std::size_t wideFiles) {
  auto files = [](std::size_t count, const std::string &prefix) {
    std::vector<Shape> result;
    for (std::size_t i = 0; i < count; ++i)
      result.push_back({prefix + std::to_string(i), false, std::int64_t(i % 7) * 4096, {}, false, double(i)});
    return result;
  };
  std::vector<Shape> top;
  for (std::size_t f = 0; f < folders; ++f)
    top.push_back(folder(numbered("folder-", f), files(filesEach, "file-in-" + std::to_string(f) + "-")));
  top.push_back(folder("wide", files(wideFiles, "wide-")));
  return plant(arena, folder("root", std::move(top)));
}

// Over 150,000 nodes, so that three threads split the freeze three ways.
// A stopped freeze says so rather than return a tree whose tables were only
// partly written, and leaves what it did not copy to the drain.
TEST(TempArenaDrainTest, FreezeFreesEveryChunkAndKeepsTheTreeWhateverTheThreadCountUnlessStopped) {
  TempNodeArena referenceArena;
  TempTreeNode &referenceRoot = build(referenceArena, 600, 250, 5000);
  referenceRoot.aggregate();
  const DiskTreeArena expected = freezeTree(referenceRoot, "/scan/root");

  struct Row {
    unsigned threads;
    bool stopped;
  };
  for (auto [threads, stopped] : {Row{1, false}, Row{3, false}, Row{8, false}, Row{1, true}}) {
    SCOPED_TRACE(std::to_string(threads) + (stopped ? " stopped" : ""));
    TempNodeArena arena;
    TempTreeNode &root = build(arena, 600, 250, 5000);
    const std::vector<ChildBlock> blocks = childBlocksBreadthFirst(root, 602);
    aggregateBlocks(blocks);
    TempArenaDrain drain;
    drain.take(arena);
    drain.seal();
    // Several node chunks, a dedicated one and several name chunks.
    EXPECT_GT(drain.liveBytes(), 155'000 * sizeof(TempTreeNode));
    std::stop_source stop;
    if (stopped) {
      stop.request_stop();
      EXPECT_THROW(freezeTree(root, blocks, "/scan/root", threads, {}, {}, drain, stop.get_token()),
                   ScanCancelledError);
      EXPECT_GT(drain.liveBytes(), 0u);
      continue;
    }
    const DiskTreeArena frozen = freezeTree(root, blocks, "/scan/root", threads, {}, {}, drain, stop.get_token());
    EXPECT_EQ(drain.liveBytes(), 0u);
    EXPECT_TRUE(frozen == expected);
  }
}

// A wide folder's staged nodes become its block where they lie, through
// the mapping's growth too; a small folder's are copied and the room kept.
TEST(TempNodeStagingTest, AWideBlockIsTakenWhereItLiesAndASmallOneCopied) {
  TempNodeArena arena;
  TempNodeStaging staging;
  for (std::size_t count : {std::size_t{10}, std::size_t{20'000}, std::size_t{10}}) {
    SCOPED_TRACE(count);
    for (std::size_t i = 0; i < count; ++i)
      staging.append().allocatedSize = static_cast<std::int64_t>(i);
    const TempTreeNode *staged = &staging[0];
    const std::span<TempTreeNode> block = staging.commitTo(arena);
    ASSERT_EQ(block.size(), count);
    EXPECT_EQ(block.data() == staged, count > 1000);
    for (std::size_t i = 0; i < count; ++i)
      ASSERT_EQ(block[i].allocatedSize, static_cast<std::int64_t>(i)) << i;
    EXPECT_EQ(staging.size(), 0u);
  }
  EXPECT_EQ(arena.nodeCount(), 20'020u);
}

// A root and two folders of `filesEach` files, in one chunk handed to a
// sealed drain. The blocks are read before anything is freed: the last
// report frees the root too.
struct SealedDrain {
  explicit SealedDrain(std::size_t filesEach)
      : root(build(arena, 2, filesEach, 0)), top(root.children()), first(top[0].children()),
        second(top[1].children()) {
    drain.take(arena);
    drain.seal();
  }
  TempNodeArena arena;
  TempTreeNode &root;
  std::span<TempTreeNode> top, first, second;
  // Two pages a unit, so that a unit is smaller than the first chunks.
  TempArenaDrain drain{2};
};

bool resident(const void *at) {
  const auto pageSize = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
  unsigned char state = 0;
  void *page = reinterpret_cast<void *>(reinterpret_cast<std::uintptr_t>(at) & ~(pageSize - 1));
  EXPECT_EQ(::mincore(page, pageSize, &state), 0);
  return (state & 1) != 0;
}

// Chunks are mapped whole when made: what no node or name went into goes
// back when the drain is sealed, not with the chunk's last node; the rest
// stays until everything in the chunk is consumed.
TEST(TempArenaDrainTest, AChunksUnusedEndGoesBackWhenSealedAndTheRestOnceAllIsConsumed) {
  SealedDrain d(3);
  // Ten nodes and a few dozen name bytes, at the start of chunks of 40 and
  // 64 KiB.
  const auto *nodes = reinterpret_cast<const char *>(&d.root);
  EXPECT_TRUE(resident(&d.second.back()));
  EXPECT_TRUE(resident(d.second.back().nameBytes));
  EXPECT_FALSE(resident(nodes + (24 << 10)));
  EXPECT_FALSE(resident(d.root.nameBytes + (48 << 10)));
  EXPECT_EQ(d.second.back().name(), "file-in-1-2");
  const std::size_t whole = d.drain.liveBytes();
  // Nodes from elsewhere do not count.
  TempTreeNode stranger;
  stranger.nameBytes = "x";
  stranger.nameLength = 1;
  for (std::span<TempTreeNode> block : {std::span(&stranger, 1), std::span(&d.root, 1), d.top, d.first})
    d.drain.consumed(block);
  EXPECT_EQ(d.drain.liveBytes(), whole);
  d.drain.consumed(d.second);
  EXPECT_EQ(d.drain.liveBytes(), 0u);
}

// A chunk holds folders the breadth-first freeze reaches at very different
// times, so each page goes back as soon as everything on it is copied.
TEST(TempArenaDrainTest, APageGoesBackOnceEverythingOnItIsCopied) {
  // The first of the two blocks of 500 nodes ends past the fourth page.
  SealedDrain d(500);
  for (std::span<TempTreeNode> block : {std::span(&d.root, 1), d.top, d.first})
    d.drain.consumed(block);
  EXPECT_FALSE(resident(&d.root));
  EXPECT_FALSE(resident(&d.first[d.first.size() / 2]));
  // Its last page also holds the start of the second block.
  EXPECT_TRUE(resident(&d.first.back()));
  EXPECT_TRUE(resident(&d.second.back()));
}

} // namespace
} // namespace tarnwick
