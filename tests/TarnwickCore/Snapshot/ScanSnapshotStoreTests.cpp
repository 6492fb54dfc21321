// The folder of remembered scans: one snapshot per root within its cap.
#include "TarnwickCore/Snapshot/ScanSnapshotReader.h"
#include "TarnwickCore/Snapshot/ScanSnapshotStore.h"
#include "TarnwickCore/Snapshot/ScanSnapshotWriter.h"
#include "TestSupport/TempTree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarnwick {
namespace {

using namespace quillane::test;
using Kind = ScanSnapshotError::Kind;

DiskTreeArena::Record record(std::int64_t size, bool isDirectory, NodeID parent, NodeID firstChild,
                             std::uint32_t childCount, std::uint32_t fileCount, std::uint32_t directoryCount = 0) {
  return {{size, 0, 0, 0, isDirectory, 0, 0, 0}, parent, firstChild, childCount, fileCount, directoryCount};
}

class ScanSnapshotStoreTest : public ::testing::Test {
protected:
  static DiskTreeArena arenaOf(const std::string &root, std::int64_t size) {
    DiskTreeArena::RecordTable records{record(size, true, -1, 0, 0, 0)};
    return DiskTreeArena(root, std::move(records), {});
  }
  static void age(const std::string &path, std::time_t seconds) {
    const timespec times[2] = {{seconds, 0}, {seconds, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
  }
  TempTree scratch;
  std::string folder = scratch.path("cache/quillane/scans");
};

// A save replaces its root's snapshot and keeps the replaced one (only
// that one) as the previous scan, which is not listed.
TEST_F(ScanSnapshotStoreTest, ASaveReplacesItsRootsSnapshotAndKeepsThePreviousOne) {
  const ScanSnapshotStore store(folder);
  EXPECT_FALSE(store.olderScanOf("/a", 1000));
  ASSERT_TRUE(store.save(arenaOf("/a", 1), 100));
  ASSERT_TRUE(store.save(arenaOf("/a", 2), 200));
  ASSERT_TRUE(store.save(arenaOf("/b", 4), 250));
  const Result<std::string> again = store.save(arenaOf("/a", 3), 300);
  ASSERT_TRUE(again);
  EXPECT_EQ(*again, store.filePathFor("/a"));
  const auto entries = store.list();
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].header->rootPath, "/a");
  EXPECT_EQ(entries[0].header->scanTime, 300);
  EXPECT_EQ(entries[0].header->totalBytes, 3);
  EXPECT_EQ(entries[1].header->rootPath, "/b");
  const auto loaded = store.load("/a");
  ASSERT_TRUE(std::holds_alternative<DiskTreeArena>(loaded));
  EXPECT_EQ(std::get<DiskTreeArena>(loaded).record(0).allocatedSize, 3);
  EXPECT_TRUE(std::holds_alternative<ScanSnapshotError>(store.load("/c")));
  // 100 is gone: only the scan a save replaced is kept.
  const std::pair<std::int64_t, std::optional<std::int64_t>> chosenBefore[] = {
      {1000, 300}, {300, 200}, {201, 200}, {200, std::nullopt}};
  for (const auto &[before, scanTime] : chosenBefore) {
    const auto older = store.olderScanOf("/a", before);
    EXPECT_EQ(older ? std::optional(older->header->scanTime) : std::nullopt, scanTime) << before;
  }
  const auto previous = ScanSnapshotReader::readFile(store.previousFilePathFor("/a"));
  ASSERT_TRUE(std::holds_alternative<DiskTreeArena>(previous));
  EXPECT_EQ(std::get<DiskTreeArena>(previous).record(0).allocatedSize, 2);
  EXPECT_FALSE(store.olderScanOf("/c", 1000)) << "another root's scans are not this one's";
  ASSERT_TRUE(store.remove("/b"));
  EXPECT_EQ(store.list().size(), 1u);
  ASSERT_TRUE(store.remove("/a"));
  EXPECT_FALSE(store.olderScanOf("/a", 1000)) << "forgetting a root forgets its previous scan too";
}

TEST_F(ScanSnapshotStoreTest, OldestGoBeyondTheCap) {
  const std::uint64_t oneFile = ScanSnapshotWriter::encode(arenaOf("/a", 1), 0).size();
  const ScanSnapshotStore store(folder, 2 * oneFile + 1);
  ASSERT_TRUE(store.save(arenaOf("/a", 1), 0));
  ASSERT_TRUE(store.save(arenaOf("/b", 1), 0));
  age(store.filePathFor("/b"), 1000);
  age(store.filePathFor("/a"), 2000);
  ASSERT_TRUE(store.save(arenaOf("/c", 1), 0));
  std::vector<std::string> roots;
  for (const auto &entry : store.list())
    roots.push_back(entry.header->rootPath);
  std::sort(roots.begin(), roots.end());
  EXPECT_EQ(roots, (std::vector<std::string>{"/a", "/c"}));
  // The newest stays even when it alone is over the cap.
  const ScanSnapshotStore tiny(folder, 1);
  ASSERT_TRUE(tiny.save(arenaOf("/d", 1), 0));
  ASSERT_EQ(tiny.list().size(), 1u);
  EXPECT_EQ(tiny.list()[0].header->rootPath, "/d");
}

TEST_F(ScanSnapshotStoreTest, ListingNamesWhatCannotBeRead) {
  const ScanSnapshotStore store(folder);
  EXPECT_TRUE(store.list().empty());
  const Result<std::string> saved = store.save(arenaOf("/a", 1), 0);
  ASSERT_TRUE(saved);
  const std::string whole = readFile(*saved);
  scratch.writeFile("cache/quillane/scans/0000000000000001.qsnap", 100);
  ASSERT_EQ(::truncate(saved->c_str(), static_cast<off_t>(whole.size() - 1)), 0);
  const auto entries = store.list();
  ASSERT_EQ(entries.size(), 2u);
  for (const auto &entry : entries) {
    ASSERT_TRUE(entry.error.has_value()) << entry.filePath;
    EXPECT_EQ(entry.error->kind, entry.filePath == *saved ? Kind::truncated : Kind::wrongMagic);
  }
}


} // namespace
} // namespace tarnwick
