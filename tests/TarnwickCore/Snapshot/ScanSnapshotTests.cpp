// Scan snapshots: what is written comes back equal, what is damaged is
// refused with the right kind of error.
#include "TarnwickCore/Scan/FastBulkScanner.h"
#include "TarnwickCore/Snapshot/ArenaRecord.h"
#include "TarnwickCore/Snapshot/ScanSnapshotReader.h"
#include "TarnwickCore/Snapshot/ScanSnapshotWriter.h"
#include "TarnwickCore/Snapshot/SnapshotFormat.h"
#include "TarnwickCore/Tree/ArenaEdit.h"
#include "TestSupport/ArenaDescription.h"
#include "TestSupport/TempTree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <fcntl.h>
#include <fstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>

namespace tarnwick {
namespace {

using namespace quillane::test;
using Kind = ScanSnapshotError::Kind;

// The pool of `names`, each record pointing at its own.
DiskTreeArena::NamePool named(DiskTreeArena::RecordTable &records, const std::vector<std::string> &names) {
  DiskTreeArena::NamePool pool;
  for (std::size_t i = 0; i < names.size(); ++i) {
    records[i].nameOffset = pool.size();
    records[i].nameLength = names[i].size();
    pool.insert(pool.end(), names[i].begin(), names[i].end());
  }
  return pool;
}

// A root holding a package folder and two files, one of them in the folder;
// names, times and the report reach the corners of the format.
DiskTreeArena handMadeArena() {
  DiskTreeArena::RecordTable records{record(9000, true, -1, 1, 2, 2, 1), record(5000, true, 0, 3, 1, 1),
                                     record(1, false, 0, 0, 0, 1), record(4000, false, 1, 0, 0, 1)};
  DiskTreeArena::NamePool pool = named(records, {"", "pkg.app", "new\nline\xff\xfe", std::string(0xffff, 'n')});
  const double times[] = {0, 1.7e9 + 0.123456789, -86400, -0.0};
  for (std::size_t i = 0; i < 4; ++i)
    records[i].modificationTimestamp = times[i];
  records[1].isPackage = 1;
  records[1].categoryHintCode = 10;
  const ScanReport report{.durationSeconds = 1.25, .skippedSymlinkCount = 3, .skippedDatalessCount = 4,
                          .unreadableFolderCount = 2, .rootReadable = false, .excludedCount = 5, .skippedMountCount = 1,
                          .skippedMounts = {{"/r/mnt", "fuse.sshfs", ScanReport::SkippedMount::Reason::remote}},
                          .unreadablePaths = {{"open", "/r", 13, ""}, {"read", "/r/pkg.app", 0, "odd"}}};
  SharedLinkTable links;
  const NodeID linked[] = {2, 3};
  links.add({7, 8, 3, 4000, 0, 0}, linked);
  return DiskTreeArena("/r", std::move(records), std::move(pool), report, std::move(links));
}

// The arenas' equality takes -0.0 for 0; the times' bits must match too.
void expectSameArena(const DiskTreeArena &expected, const DiskTreeArena &actual) {
  EXPECT_TRUE(expected == actual);
  ASSERT_EQ(expected.nodeCount(), actual.nodeCount());
  for (NodeID id = 0; id < static_cast<NodeID>(expected.nodeCount()); ++id)
    EXPECT_EQ(std::bit_cast<std::uint64_t>(expected.record(id).modificationTimestamp),
              std::bit_cast<std::uint64_t>(actual.record(id).modificationTimestamp)) << id;
}

DiskTreeArena readBack(const std::string &bytes) {
  auto outcome = ScanSnapshotReader::readBytes(bytes);
  if (auto *fault = std::get_if<ScanSnapshotError>(&outcome))
    ADD_FAILURE() << fault->message();
  return std::holds_alternative<DiskTreeArena>(outcome) ? std::get<DiskTreeArena>(std::move(outcome))
                                                        : DiskTreeArena();
}

TEST(ScanSnapshotRoundTrip, ScannedTreeComesBackEqual) {
  TempTree tree;
  for (const auto &[file, bytes] : {std::pair{"docs/a.txt", 10'000}, {"names/new\nline", 3}, {"names/bad\xff\xfe", 3},
                                    {"links/one", 50'000}})
    tree.writeFile(file, bytes);
  tree.makeHardLink("links/one", "links/two");
  tree.makeDirectory("empty");
  tree.makeSymlink("link", "docs");
  for (int i = 0; i < 300; ++i)
    tree.writeFile("wide/f" + std::to_string(i), std::size_t(i) * 100);
  const DiskTreeArena arena = FastBulkScanner().scan(tree.root());
  ASSERT_FALSE(arena.sharedLinks().empty());
  const std::string bytes = ScanSnapshotWriter::encode(arena, 1'765'000'000);
  EXPECT_TRUE(readBack(bytes) == arena);

  auto header = ScanSnapshotReader::readHeaderBytes(bytes, bytes.size());
  ASSERT_TRUE(std::holds_alternative<ScanSnapshotHeader>(header));
  const auto &h = std::get<ScanSnapshotHeader>(header);
  const DiskTreeArena::Record &root = arena.record(0);
  EXPECT_EQ(std::tie(h.rootPath, h.scanTime, h.nodeCount, h.totalBytes, h.fileCount, h.directoryCount),
            std::tuple(tree.root(), 1'765'000'000, arena.nodeCount(), root.allocatedSize, root.fileCount,
                       root.directoryCount));
}

// Removed nodes are left out and the rest numbered again, hard links too.
TEST(ScanSnapshotRoundTrip, EdgeCasesComeBackEqualAndRemovedNodesAreLeftOut) {
  const DiskTreeArena handMade = handMadeArena();
  expectSameArena(handMade, readBack(ScanSnapshotWriter::encode(handMade, -5)));
  const DiskTreeArena empty;
  EXPECT_TRUE(readBack(ScanSnapshotWriter::encode(empty, 0)) == empty);
  const NodeID removed[] = {2};
  const DiskTreeArena derived = withoutSubtrees(handMade, removed);
  const DiskTreeArena back = readBack(ScanSnapshotWriter::encode(derived, 0));
  EXPECT_EQ(back.nodeCount(), 3u);
  EXPECT_EQ(describeArena(back, false), describeArena(derived, false));
  EXPECT_EQ(describeLinks(back), describeLinks(derived));
}

// Both checksums made right again after a deliberate change, so that the
// reader's checks behind them are reached.
std::string resealed(std::string bytes) {
  const auto put = [&](std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
      bytes[at + i] = static_cast<char>(value >> (8 * i));
  };
  const std::uint32_t headerLength = static_cast<std::uint8_t>(bytes[12]) | static_cast<std::uint8_t>(bytes[13]) << 8;
  put(16, snapshot::checksum(std::string_view(bytes).substr(snapshot::prefixSize, headerLength)));
  put(bytes.size() - 4, snapshot::checksum(std::string_view(bytes).substr(0, bytes.size() - 4)));
  return bytes;
}

TEST(ScanSnapshotReader, RefusesDamagedFiles) {
  // A root with two files and an empty report: the body starts with the
  // two list counts, then the root's flags and child count.
  DiskTreeArena::RecordTable records{record(8, true, -1, 1, 2, 2), record(4, false, 0, 0, 0, 1),
                                     record(4, false, 0, 0, 0, 1)};
  DiskTreeArena::NamePool pool = named(records, {"r", "a", "b"});
  const std::string good = ScanSnapshotWriter::encode(DiskTreeArena("/t", std::move(records), std::move(pool)), 0);
  const std::size_t body = snapshot::prefixSize + static_cast<std::uint8_t>(good[12]);
  const auto changed = [&](std::size_t at, char value) {
    std::string bytes = good;
    bytes[at] = value;
    return bytes;
  };
  struct Case {
    const char *what;
    std::string bytes;
    Kind kind;
    std::uint64_t offset;
  };
  const Case cases[] = {
      {"empty", "", Kind::truncated, 0},
      {"cut in the magic", good.substr(0, 5), Kind::truncated, 5},
      {"cut in the prefix", good.substr(0, 19), Kind::truncated, 19},
      {"cut in the header", good.substr(0, 25), Kind::truncated, 25},
      {"cut in the body", good.substr(0, good.size() - 6), Kind::truncated, good.size() - 6},
      {"a byte more", good + "x", Kind::corrupt, good.size()},
      {"other magic", changed(1, 'X'), Kind::wrongMagic, 0},
      {"text", "{\"not\": \"a snapshot\"}", Kind::wrongMagic, 0},
      {"newer version", changed(8, 2), Kind::futureVersion, 8},
      {"header changed", changed(20, good[20] ^ 1), Kind::checksum, 16},
      {"body changed", changed(body + 5, good[body + 5] ^ 0x40), Kind::checksum, good.size() - 4},
      {"a child too many", resealed(changed(body + 3, 3)), Kind::corrupt, body + 4},
      {"an orphan node", resealed(changed(body + 3, 1)), Kind::corrupt, body + 11},
      {"unknown time kind", resealed(changed(body + 2, 0x0d)), Kind::corrupt, body + 5},
      {"unknown category", resealed(changed(body + 2, char(0xf1))), Kind::corrupt, body + 5},
      {"mounts beyond the file", resealed(changed(body, 0x7f)), Kind::corrupt, body + 1},
  };
  for (const Case &c : cases) {
    auto outcome = ScanSnapshotReader::readBytes(c.bytes);
    ASSERT_TRUE(std::holds_alternative<ScanSnapshotError>(outcome)) << c.what;
    const auto &fault = std::get<ScanSnapshotError>(outcome);
    EXPECT_EQ(fault.kind, c.kind) << c.what << ": " << fault.message();
    EXPECT_EQ(fault.byteOffset, c.offset) << c.what << ": " << fault.message();
    EXPECT_FALSE(fault.detail.empty()) << c.what;
  }
}

// What an export is refused for is refused in a snapshot too, where it
// stands in the body; and a header with a negative count.
TEST(ScanSnapshotReader, RefusesWhatAnExportWouldBe) {
  struct Tree {
    std::vector<std::string> names{"r", "a", "b"};
    std::int64_t sizes[3] = {8, 4, 4};
    double time = 0;
    std::int64_t linkedSize = 4;
    ScanReport report;
  };
  const auto encoded = [](const Tree &t) {
    DiskTreeArena::RecordTable records{record(t.sizes[0], true, -1, 1, 2, 2), record(t.sizes[1], false, 0, 0, 0, 1),
                                       record(t.sizes[2], false, 0, 0, 0, 1)};
    records[2].modificationTimestamp = t.time;
    DiskTreeArena::NamePool pool = named(records, t.names);
    SharedLinkTable links;
    const NodeID linked[] = {1};
    links.add({1, 2, 2, t.linkedSize, 0, 0}, linked);
    return ScanSnapshotWriter::encode(DiskTreeArena("/t", std::move(records), std::move(pool), t.report, links), 0);
  };
  const auto with = [](auto change) {
    Tree t;
    change(t);
    return t;
  };
  const struct {
    const char *what;
    Tree tree;
    bool inBody = true;
  } cases[] = {
      {"a slash", with([](Tree &t) { t.names[1] = "x/y"; })},
      {"dot", with([](Tree &t) { t.names[1] = "."; })},
      {"dot dot", with([](Tree &t) { t.names[2] = ".."; })},
      {"empty", with([](Tree &t) { t.names[1] = ""; })},
      {"NUL", with([](Tree &t) { t.names[1] = std::string("x\0y", 3); })},
      {"NUL in the root", with([](Tree &t) { t.names[0] = std::string("r\0", 2); })},
      {"twice one name", with([](Tree &t) { t.names[2] = "a"; })},
      {"negative size", with([](Tree &t) { t.sizes[1] = -1; })},
      {"children beyond their folder", with([](Tree &t) { t.sizes[2] = 5; })},
      {"time not a number", with([](Tree &t) { t.time = std::nan(""); })},
      {"infinite time", with([](Tree &t) { t.time = -INFINITY; })},
      {"hard link of negative size", with([](Tree &t) { t.linkedSize = -4; })},
      {"negative count", with([](Tree &t) { t.report.excludedCount = -1; }), false},
  };
  for (const auto &c : cases) {
    const std::string bytes = encoded(c.tree);
    auto outcome = ScanSnapshotReader::readBytes(bytes);
    const auto *fault = std::get_if<ScanSnapshotError>(&outcome);
    if (!fault) {
      ADD_FAILURE() << c.what << ": accepted";
      continue;
    }
    EXPECT_EQ(fault->kind, Kind::corrupt) << c.what << ": " << fault->message();
    const std::size_t body = snapshot::prefixSize + static_cast<std::uint8_t>(bytes[12]);
    EXPECT_TRUE(c.inBody ? fault->byteOffset > body && fault->byteOffset < bytes.size() - 4
                         : fault->byteOffset == snapshot::prefixSize)
        << c.what << ": " << fault->message();
  }
  EXPECT_TRUE(std::holds_alternative<DiskTreeArena>(ScanSnapshotReader::readBytes(encoded(Tree{}))));
}

// A body far longer than its header's counts need is refused at the body's
// length; the file it is in is not read whole first, however long it looks.
TEST(ScanSnapshotReader, RefusesABodyItsHeaderDoesNotAccountFor) {
  DiskTreeArena::RecordTable records{record(0, true, -1, 0, 0, 0)};
  DiskTreeArena::NamePool pool = named(records, {"r"});
  std::string bytes = ScanSnapshotWriter::encode(DiskTreeArena("/t", std::move(records), std::move(pool)), 0);
  const std::size_t headerLength = static_cast<std::uint8_t>(bytes[12]);
  const std::size_t lengthAt = headerLength - 8 - 1 - 2; // the root path "/t" and its length come last
  const std::uint64_t longer = (std::uint64_t{1} << 33) + 1;
  for (int i = 0; i < 8; ++i)
    bytes[snapshot::prefixSize + lengthAt + i] = static_cast<char>(longer >> (8 * i));
  bytes = resealed(bytes);
  TempTree folder;
  const std::string path = folder.path("long.qsnap");
  std::ofstream(path, std::ios::binary) << bytes.substr(0, bytes.size() - 4);
  ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(snapshot::prefixSize + headerLength + longer + 4)), 0);
  // In a child limited to far less memory than the file's length.
  const pid_t child = ::fork();
  if (child == 0) {
    const rlimit limit{std::uint64_t{6} << 30, std::uint64_t{6} << 30};
    ::setrlimit(RLIMIT_AS, &limit);
    const auto outcome = ScanSnapshotReader::readFile(path);
    const auto *fault = std::get_if<ScanSnapshotError>(&outcome);
    ::_exit(fault && fault->kind == Kind::corrupt && fault->byteOffset == snapshot::prefixSize + lengthAt ? 0 : 1);
  }
  int status = -1;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

// A user names files through links; the store's own folder has none.
TEST(ScanSnapshotReader, FollowsLinksOnlyWhenAsked) {
  TempTree folder;
  std::ofstream(folder.path("s.qsnap"), std::ios::binary) << ScanSnapshotWriter::encode(DiskTreeArena(), 0);
  folder.makeSymlink("link.qsnap", "s.qsnap");
  const std::string link = folder.path("link.qsnap");
  using Links = ScanSnapshotReader::Links;
  EXPECT_TRUE(std::holds_alternative<DiskTreeArena>(ScanSnapshotReader::readFile(link, Links::follow)));
  EXPECT_TRUE(std::holds_alternative<ScanSnapshotHeader>(ScanSnapshotReader::readHeaderFile(link, Links::follow)));
  EXPECT_TRUE(std::holds_alternative<ScanSnapshotError>(ScanSnapshotReader::readFile(link)));
  EXPECT_TRUE(std::holds_alternative<ScanSnapshotError>(ScanSnapshotReader::readHeaderFile(link)));
}

} // namespace
} // namespace tarnwick
