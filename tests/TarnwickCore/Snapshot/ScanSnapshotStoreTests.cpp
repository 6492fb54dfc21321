// The folder of remembered scans: one snapshot per root within its cap, a
// folder that is not the user's own refused, room made before a save, and
// no wait on what is not a regular file.
#include "TarnwickCore/Snapshot/ArenaRecord.h"
#include "TarnwickCore/Snapshot/ScanSnapshotReader.h"
#include "TarnwickCore/Snapshot/ScanSnapshotStore.h"
#include "TarnwickCore/Snapshot/ScanSnapshotWriter.h"
#include "TarnwickCore/Support/UniqueFd.h"
#include "TestSupport/ScopedMount.h"
#include "TestSupport/TempTree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <future>
#include <sys/stat.h>
#include <unistd.h>

namespace tarnwick {
namespace {

using namespace quillane::test;
using Kind = ScanSnapshotError::Kind;

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
  // A changed tree replaces only the scan it came from, keeping the previous.
  EXPECT_FALSE(store.replace(arenaOf("/a", 9), 200)) << "an older scan, opened from its file";
  EXPECT_FALSE(store.replace(arenaOf("/c", 9), 300)) << "no scan of it to replace";
  ASSERT_TRUE(store.replace(arenaOf("/a", 4), 300));
  EXPECT_EQ(std::get<DiskTreeArena>(store.load("/a")).record(0).allocatedSize, 4);
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
  EXPECT_FALSE(store.refusal()) << "a folder not made yet is no refusal";
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


// A store folder that is a link, another user's or open to others' writes
// is not used, least of all to remove what the folder a link leads to holds.
TEST_F(ScanSnapshotStoreTest, RefusesAFolderThatIsNotTheUsersOwn) {
  const struct {
    const char *reason;
    bool isLink;
    uid_t owner;
    mode_t mode;
  } cases[] = {{"it is a symbolic link", true, ::geteuid(), 0700},
               {"it belongs to another user", false, 65534, 0700},
               {"other users may write in it", false, ::geteuid(), 0770},
               {"other users may write in it", false, ::geteuid(), 0702}};
  for (const auto &c : cases) {
    SCOPED_TRACE(c.reason);
    const TempTree tree;
    const std::string folder = tree.path("scans"), real = c.isLink ? tree.path("Documents") : folder;
    for (const char *name : {"/.saving-thesis", "/archive.qsnap"}) {
      tree.writeFile(real.substr(tree.root().size() + 1) + name, 10);
      age(real + name, 1000);
    }
    if (::chown(real.c_str(), c.owner, gid_t(-1)) != 0 || ::chmod(real.c_str(), c.mode) != 0)
      continue; // only root gives a folder away
    ASSERT_EQ(c.isLink ? ::symlink(real.c_str(), folder.c_str()) : 0, 0);
    const ScanSnapshotStore store(folder, 1);
    const Result<std::string> saved = store.save(arenaOf("/a", 1), 0);
    EXPECT_EQ(saved ? "saved" : saved.failure().reason, c.reason);
    EXPECT_EQ(store.refusal().value_or(Failure{}).reason, c.reason) << "the window says why it lists nothing";
    EXPECT_FALSE(store.remove("/a"));
    const auto loaded = store.load("/a");
    EXPECT_TRUE(std::holds_alternative<ScanSnapshotError>(loaded) && store.list().empty());
    for (const char *name : {"/.saving-thesis", "/archive.qsnap"})
      EXPECT_EQ(readFile(real + name), std::string(10, 'q')) << name;
  }
}

// A crash that left a temporary file filling the disk does not fail every
// later save: stray files go before a new one is written.
TEST_F(ScanSnapshotStoreTest, AStrayTemporaryOnAFullDiskGoesBeforeTheSave) {
  scratch.makeDirectory("disk");
  const ScopedMount disk = ScopedMount::tmpfs(scratch.path("disk"), "size=256k");
  if (!disk.mounted())
    GTEST_SKIP() << "mounting a small file system needs root";
  const ScanSnapshotStore store(scratch.path("disk/scans"));
  ASSERT_TRUE(store.save(arenaOf("/a", 1), 100));
  const std::string stray = scratch.path("disk/scans/.saving-Crash1"), block(4096, 'c');
  for (const UniqueFd fd(::open(stray.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600));
       ::write(fd.get(), block.data(), block.size()) > 0;) {
  }
  age(stray, 1000);
  EXPECT_TRUE(store.save(arenaOf("/a", 2), 200));
  EXPECT_EQ(store.olderScanOf("/a", 1000)->header->totalBytes, 2);
}

// A FIFO where a snapshot would be is refused at once, the window's thread
// never waiting for a writer. A call still waiting after ten seconds fails
// the test, and a writer then lets it go rather than hang the run.
TEST_F(ScanSnapshotStoreTest, AFifoInASnapshotsPlaceIsRefusedWithoutWaiting) {
  const ScanSnapshotStore store(folder);
  ASSERT_TRUE(store.save(arenaOf("/b", 1), 0));
  const std::string fifos[] = {store.filePathFor("/a"), store.previousFilePathFor("/a")};
  for (const std::string &path : fifos)
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
  const auto promptly = [&](auto call) {
    auto done = std::async(std::launch::async, call);
    EXPECT_EQ(done.wait_for(std::chrono::seconds(10)), std::future_status::ready) << "waited for a writer";
    while (done.wait_for(std::chrono::milliseconds(100)) != std::future_status::ready)
      for (const std::string &path : fifos)
        UniqueFd(::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC));
    return done.get();
  };
  const auto loaded = promptly([&] { return store.load("/a"); });
  ASSERT_TRUE(std::holds_alternative<ScanSnapshotError>(loaded));
  EXPECT_NE(std::get<ScanSnapshotError>(loaded).detail.find("not a regular file"), std::string::npos);
  EXPECT_FALSE(promptly([&] { return store.olderScanOf("/a", 1000); }));
}

} // namespace
} // namespace tarnwick
