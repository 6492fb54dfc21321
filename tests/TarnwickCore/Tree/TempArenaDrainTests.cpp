#include "TarnwickCore/Support/ScanErrors.h"
#include "TarnwickCore/Tree/ChildBlockWalk.h"
#include "TarnwickCore/Tree/DiskTreeArena.h"
#include "TarnwickCore/Tree/TempArenaDrain.h"
#include "TarnwickCore/Tree/TempNodeArena.h"
#include "TarnwickCore/Tree/TempNodeStaging.h"

#include <gtest/gtest.h>

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <stop_token>
#include <string>

namespace tarnwick {
namespace {

// A root holding `folders` folders of `filesEach` files, then one wide
// folder of `wideFiles` files (a block too large to share a chunk).
TempTreeNode &build(TempNodeArena &arena, std::size_t folders, std::size_t filesEach, std::size_t wideFiles) {
  auto name = [&arena](TempTreeNode &node, const std::string &text) {
    std::string_view stored = arena.storeName(text);
    node.nameBytes = stored.data();
    node.nameLength = static_cast<std::uint16_t>(stored.size());
  };
  auto fillFolder = [&](TempTreeNode &folder, std::size_t files, const std::string &prefix) {
    folder.isDirectory = true;
    std::span<TempTreeNode> children = arena.allocateBlock(files);
    folder.adoptChildren(children);
    for (std::size_t i = 0; i < files; ++i) {
      name(children[i], prefix + std::to_string(i));
      children[i].allocatedSize = static_cast<std::int64_t>(i % 7) * 4096;
      children[i].modificationTimestamp = static_cast<double>(i);
    }
  };
  TempTreeNode &root = arena.allocateBlock(1)[0];
  name(root, "root");
  root.isDirectory = true;
  std::span<TempTreeNode> top = arena.allocateBlock(folders + 1);
  root.adoptChildren(top);
  for (std::size_t f = 0; f < folders; ++f) {
    name(top[f], "folder-" + std::to_string(f));
    fillFolder(top[f], filesEach, "file-in-" + std::to_string(f) + "-");
  }
  name(top[folders], "wide");
  fillFolder(top[folders], wideFiles, "wide-");
  return root;
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

TEST(TempArenaDrainTest, ChunkStaysUntilEverythingInItIsConsumed) {
  TempNodeArena arena;
  TempTreeNode &root = build(arena, 2, 3, 0);
  // Read before anything is freed: the last report frees the root too.
  const std::span<TempTreeNode> top = root.children();
  const std::span<TempTreeNode> first = top[0].children(), second = top[1].children();
  TempArenaDrain drain;
  drain.take(arena);
  drain.seal();
  const std::size_t whole = drain.liveBytes();
  // Nodes from elsewhere do not count.
  TempTreeNode stranger;
  stranger.nameBytes = "x";
  stranger.nameLength = 1;
  drain.consumed({&stranger, 1});
  drain.consumed({&root, 1});
  drain.consumed(top);
  drain.consumed(first);
  EXPECT_EQ(drain.liveBytes(), whole);
  drain.consumed(second);
  EXPECT_EQ(drain.liveBytes(), 0u);
}

// A chunk holds folders the breadth-first freeze reaches at very different
// times, so each page goes back as soon as everything on it is copied.
TEST(TempArenaDrainTest, APageGoesBackOnceEverythingOnItIsCopied) {
  TempNodeArena arena;
  // One chunk: the root, the top block, then two blocks of 500 nodes (the
  // first ends past the fourth page).
  TempTreeNode &root = build(arena, 2, 500, 0);
  const std::span<TempTreeNode> top = root.children();
  const std::span<TempTreeNode> first = top[0].children(), second = top[1].children();
  const auto pageSize = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
  auto resident = [&](const void *at) {
    unsigned char state = 0;
    void *page = reinterpret_cast<void *>(reinterpret_cast<std::uintptr_t>(at) & ~(pageSize - 1));
    EXPECT_EQ(::mincore(page, pageSize, &state), 0);
    return (state & 1) != 0;
  };
  TempArenaDrain drain;
  drain.take(arena);
  drain.seal();
  drain.consumed({&root, 1});
  drain.consumed(top);
  drain.consumed(first);
  EXPECT_FALSE(resident(&root));
  EXPECT_FALSE(resident(&first[first.size() / 2]));
  // Its last page also holds the start of the second block.
  EXPECT_TRUE(resident(&first.back()));
  EXPECT_TRUE(resident(&second.back()));
}

} // namespace
} // namespace tarnwick
