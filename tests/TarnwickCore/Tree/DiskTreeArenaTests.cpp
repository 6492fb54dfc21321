#include "TarnwickCore/Tree/ArenaRecordEditor.h"
#include "TarnwickCore/Tree/DiskTreeArena.h"
#include "TarnwickCore/Tree/TempNodeArena.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace tarnwick {
namespace {

// A tree description: directories have children (possibly none), files a size.
struct Shape {
  std::string name;
  bool isDirectory = false;
  std::int64_t size = 0;
  std::vector<Shape> children = {};
  bool isPackage = false;
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
  std::span<TempTreeNode> block = arena.allocateBlock(shape.children.size());
  node.adoptChildren(block);
  for (std::size_t i = 0; i < block.size(); ++i)
    fill(arena, block[i], shape.children[i]);
}

DiskTreeArena freeze(const Shape &root, ScanReport report = {}) {
  TempNodeArena arena;
  TempTreeNode &node = arena.allocateBlock(1)[0];
  fill(arena, node, root);
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
  ASSERT_EQ(arena.nodeCount(), 7u);
  std::vector<std::string> names;
  for (NodeID id = 0; id < 7; ++id)
    names.push_back(arena.node(id)->name);
  EXPECT_EQ(names, (std::vector<std::string>{"root", "a", "sub", "b", "nested", "Tool.app", "binary"}));

  DiskNode root = *arena.rootNode();
  EXPECT_EQ(root.childIDs, (std::vector<NodeID>{1, 2, 3}));
  EXPECT_EQ(root.allocatedSize, 85);
  EXPECT_EQ(root.fileCount, 4);
  EXPECT_EQ(root.directoryCount, 2);
  DiskNode sub = *arena.node(2);
  EXPECT_EQ(sub.parentID, 0);
  EXPECT_EQ(sub.childIDs, (std::vector<NodeID>{4, 5}));
  EXPECT_EQ(sub.directoryCount, 1);
  EXPECT_EQ(sub.fileCount, 2);
  DiskNode binary = *arena.node(6);
  EXPECT_EQ(binary.path, "/scan/root/sub/Tool.app/binary");
  EXPECT_EQ(binary.parentID, 5);
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
  ASSERT_EQ(lone.nodeCount(), 1u);
  EXPECT_EQ(lone.rootNode()->path, "/scan/root");
  EXPECT_FALSE(lone.rootNode()->parentID);
  EXPECT_TRUE(lone.children(0).empty());
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
    Record r{};
    r.allocatedSize = size;
    r.isDirectory = isDirectory;
    r.parentID = parent;
    r.fileCount = files;
    r.directoryCount = folders;
    return r;
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

} // namespace
} // namespace tarnwick
