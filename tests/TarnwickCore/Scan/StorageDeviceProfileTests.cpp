#include "TarnwickCore/Scan/FastBulkScanner.h"
#include "TarnwickCore/Scan/LinuxBatchEntrySource.h"
#include "TarnwickCore/Scan/StorageDeviceProfile.h"
#include "TestSupport/TempTree.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace tarnwick {
namespace {

using quillane::test::TempTree;

// A /sys of its own, laid out as the kernel lays out block devices: each
// dev/block/MAJ:MIN links to the device's folder, and a partition's folder
// sits inside its disk's, which alone has a queue.
struct FakeSys {
  FakeSys() { tree.makeDirectory("dev/block"); }
  TempTree tree;
  void disk(const std::string &name, const std::string &number, const char *rotational) {
    tree.makeDirectory("devices/" + name + "/queue");
    std::ofstream(tree.path("devices/" + name + "/queue/rotational")) << rotational << "\n";
    tree.makeSymlink("dev/block/" + number, "../../devices/" + name);
  }
  void partition(const std::string &disk, const std::string &name, const std::string &number) {
    tree.makeDirectory("devices/" + disk + "/" + name);
    tree.makeSymlink("dev/block/" + number, "../../devices/" + disk + "/" + name);
  }
};

TEST(StorageDeviceProfileTest, ReadsTheRotationalFlagOfTheDeviceOrOfThePartitionsDisk) {
  FakeSys sys;
  sys.disk("sda", "8:0", "1");
  sys.partition("sda", "sda1", "8:1");
  sys.disk("nvme0n1", "259:0", "0");
  sys.partition("nvme0n1", "nvme0n1p2", "259:2");
  sys.disk("virtio1/block/vda", "254:0", "1"); // what a virtual machine's disk says, whatever its storage
  sys.partition("virtio1/block/vda", "vda1", "254:1");
  const std::pair<dev_t, bool> cases[] = {
      {makedev(8, 0), true}, {makedev(8, 1), true}, {makedev(259, 0), false}, {makedev(259, 2), false},
      {makedev(254, 0), false}, {makedev(254, 1), false},
      {makedev(0, 45), false}, // tmpfs and the like: no block device
      {makedev(8, 2), false},  // not described at all
  };
  for (auto [device, rotational] : cases) {
    const StorageDeviceProfile profile = StorageDeviceProfile::ofDevice(device, sys.tree.root());
    EXPECT_EQ(profile.rotational, rotational) << major(device) << ":" << minor(device);
    EXPECT_EQ(profile.walkerCount(8), rotational ? StorageDeviceProfile::rotationalWalkers : 8);
    EXPECT_EQ(profile.walkerCount(1), 1);
  }
}

// Each entry as "name inode size type error", in the order reported.
std::vector<std::string> entriesAsRead(LinuxBatchEntrySource::EntryOrder order, const std::string &folder) {
  auto reader = LinuxBatchEntrySource(order).makeReader();
  EXPECT_TRUE(reader->open(folder));
  std::vector<std::string> entries;
  std::vector<EntryFacts> batch;
  while (reader->nextBatch(batch) == BatchStatus::entries)
    for (const EntryFacts &facts : batch)
      entries.push_back(std::string(facts.name) + " " + std::to_string(facts.fileIdentifier) + " " +
                        std::to_string(facts.size) + " " + std::to_string(int(facts.type)) + " " +
                        std::to_string(facts.errorCode));
  return entries;
}

// Examined in inode order, yet each name keeps its own facts and the
// listing's order, over several batches.
TEST(StorageDeviceProfileTest, InodeOrderReportsTheSameEntriesInTheListingsOrder) {
  TempTree tree;
  for (int i = 0; i < 600; ++i) // several batches' worth of long names
    tree.writeFile("d/" + std::string(90, char('a' + i % 26)) + std::to_string(i), std::size_t(i) * 512);
  tree.makeDirectory("d/sub");
  const std::vector<std::string> listed = entriesAsRead(LinuxBatchEntrySource::EntryOrder::listing, tree.path("d"));
  ASSERT_EQ(listed.size(), 601u);
  EXPECT_EQ(entriesAsRead(LinuxBatchEntrySource::EntryOrder::inode, tree.path("d")), listed);
}

// Counts the walkers of a scan: each makes one reader.
class CountingSource final : public DirectoryEntrySource {
public:
  std::atomic<int> readers{0};
  std::unique_ptr<DirectoryEntryReader> makeReader() override {
    ++readers;
    return LinuxBatchEntrySource().makeReader();
  }
};

TEST(StorageDeviceProfileTest, ARotationalRootGetsFewWalkers) {
  TempTree tree;
  for (int i = 0; i < 40; ++i)
    tree.writeFile("f" + std::to_string(i % 5) + "/g" + std::to_string(i), 100 * i);
  struct stat st {};
  ASSERT_EQ(::stat(tree.root().c_str(), &st), 0);
  FakeSys sys;
  sys.disk("sdz", std::to_string(major(st.st_dev)) + ":" + std::to_string(minor(st.st_dev)), "1");

  // That inode order changes no entry is the test above's. The folder
  // without the device describes no device at all.
  auto counting = std::make_shared<CountingSource>();
  for (auto [sysRoot, walkers] : {std::pair{sys.tree.root(), StorageDeviceProfile::rotationalWalkers},
                                  std::pair{sys.tree.path("dev"), 8}}) {
    FastBulkScanner scanner(8);
    scanner.setSysRoot(sysRoot);
    scanner.setEntrySource(counting);
    counting->readers = 0;
    scanner.scan(tree.root());
    EXPECT_EQ(counting->readers.load(), walkers) << sysRoot;
  }
}

} // namespace
} // namespace tarnwick
