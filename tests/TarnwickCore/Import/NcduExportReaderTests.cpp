#include "TarnwickCore/Import/ExportText.h"
#include "TarnwickCore/Import/NcduExportReader.h"

#include <gtest/gtest.h>

#include <map>

namespace tarnwick {
namespace {

// Every child name of the root with its size.
std::map<std::string, std::int64_t> rootChildren(const DiskTreeArena &arena) {
  std::map<std::string, std::int64_t> sizes;
  for (const DiskNode &child : arena.children(DiskTreeArena::rootID))
    sizes[child.name] = child.allocatedSize;
  return sizes;
}

struct Accepted {
  const char *what;
  std::string json;
  std::int64_t total, files, directories;
  std::map<std::string, std::int64_t> children;
  std::optional<std::uint64_t> rootDevice = {}; // the root's own, whatever its entries'
};

TEST(NcduExportReader, ReadsWhatTheExportersWrite) {
  const Accepted cases[] = {
      {"root alone", wrap(R"({"name":"/r","dsize":4096})"), 4096, 0, 0, {}},
      {"folders add their own blocks to their entries'",
       wrap(R"({"name":"/r","dsize":4096},{"name":"a","dsize":100,"asize":7},[{"name":"d","dsize":10},{"name":"x","dsize":5}])"),
       4211, 2, 1, {{"a", 100}, {"d", 15}}},
      {"absent dsize is 0 (gdu's folders, ncdu's FIFOs)", wrap(R"({"name":"/r"},{"name":"p","notreg":true},[{"name":"d"}])"),
       0, 1, 1, {{"p", 0}, {"d", 0}}},
      {"hard links with hlnkc count once, at the first name breadth-first",
       wrap(R"({"name":"/r","dev":7},[{"name":"d"},{"name":"b","dsize":800,"ino":5,"hlnkc":true}],{"name":"a","dsize":800,"ino":5,"hlnkc":true})"),
       800, 2, 1, {{"a", 800}, {"d", 0}}, 7},
      {"nlink alone marks links too; other devices are other files",
       wrap(R"({"name":"/r","dev":1},{"name":"a","dsize":8,"ino":5,"nlink":2},{"name":"b","dsize":8,"ino":5,"nlink":2},)"
            R"([{"name":"m","dev":2},{"name":"c","dsize":8,"ino":5,"nlink":2}])"),
       16, 3, 1, {{"a", 8}, {"b", 0}, {"m", 8}}, 1},
      {"a single link keeps its size however ino repeats", wrap(R"({"name":"/r"},{"name":"a","dsize":8,"ino":5},{"name":"b","dsize":8,"ino":5})"),
       16, 2, 0, {{"a", 8}, {"b", 8}}},
      {"gdu marks only repeated names", wrap(R"({"name":"/r"},{"name":"h","dsize":8},{"name":"g","dsize":8,"ino":5,"hlnkc":true})", R"({"progname":"gdu"})"),
       8, 2, 0, {{"h", 8}, {"g", 0}}},
      {"excluded entries: patterns left out, mount points kept empty",
       wrap(R"({"name":"/r"},{"name":"x","excluded":"pattern"},{"name":"m","excluded":"otherfs","dsize":99},{"name":"k","excluded":"kernfs"})"),
       0, 0, 2, {{"m", 0}, {"k", 0}}},
      {"symbolic links by mode: counted in their folder", wrap(R"({"name":"/r","dsize":10},{"name":"s","notreg":true,"mode":41471,"dsize":4096})"),
       4106, 0, 0, {}},
      {"unknown fields are skipped whatever they hold",
       wrap(R"({"name":"/r","x":{"y":[1,{"z":null}]},"w":[[]]},{"name":"a","dsize":1,"future":[{"name":"no"}]})", R"({"a":[{"b":{}}],"c":null})"),
       1, 1, 0, {{"a", 1}}},
      {"sizes up to 2^63 - 1", wrap(R"({"name":"/r"},{"name":"a","dsize":9223372036854775807})"),
       9223372036854775807, 1, 0, {{"a", 9223372036854775807}}},
  };
  for (const Accepted &accepted : cases) {
    SCOPED_TRACE(accepted.what);
    std::optional<DiskTreeArena> arena = readTree(accepted.json);
    if (!arena)
      continue;
    std::optional<DiskNode> root = arena->rootNode();
    EXPECT_EQ(arena->rootPath(), "/r");
    EXPECT_EQ(root->name, "r");
    EXPECT_EQ(root->allocatedSize, accepted.total);
    EXPECT_EQ(root->fileCount, accepted.files);
    EXPECT_EQ(root->directoryCount, accepted.directories);
    EXPECT_EQ(rootChildren(*arena), accepted.children);
    EXPECT_EQ(arena->scanReport().rootDevice, accepted.rootDevice);
  }
}

TEST(NcduExportReader, NumbersBreadthFirstAndListsSharedFiles) {
  // Depth first in the file; the tree must come out numbered by level, each
  // folder's entries consecutive, and the linked file's names listed.
  std::optional<DiskTreeArena> arena = readTree(wrap(
      R"({"name":"/r","dev":3},[{"name":"a"},[{"name":"b"},{"name":"deep","dsize":1,"ino":9,"nlink":3}],{"name":"f","dsize":2}],)"
      R"([{"name":"c"},{"name":"g","dsize":1,"ino":9,"nlink":3}],{"name":"h","dsize":4})"));
  ASSERT_TRUE(arena);
  std::vector<std::string> paths;
  for (NodeID id = 0; static_cast<std::size_t>(id) < arena->nodeCount(); ++id) {
    paths.push_back(arena->path(id));
    const DiskTreeArena::Record &record = arena->record(id);
    for (std::uint32_t k = 0; k < record.childCount; ++k)
      EXPECT_EQ(arena->record(record.firstChildID + static_cast<NodeID>(k)).parentID, id) << paths.back();
  }
  EXPECT_EQ(paths, (std::vector<std::string>{"/r", "/r/a", "/r/c", "/r/h", "/r/a/b", "/r/a/f", "/r/c/g", "/r/a/b/deep"}));
  EXPECT_EQ(arena->rootNode()->allocatedSize, 7);
  EXPECT_EQ(arena->node(6)->allocatedSize, 1) << "the first name breadth-first keeps the bytes";
  EXPECT_EQ(arena->node(7)->allocatedSize, 0);
  ASSERT_EQ(arena->sharedLinks().files().size(), 1u);
  const SharedLinkTable::File &file = arena->sharedLinks().files()[0];
  EXPECT_EQ(std::tie(file.device, file.inode, file.linkCount, file.allocatedSize),
            std::make_tuple(std::uint64_t{3}, std::uint64_t{9}, std::uint64_t{3}, std::int64_t{1}));
  EXPECT_EQ(std::vector<NodeID>(arena->sharedLinks().names(file).begin(), arena->sharedLinks().names(file).end()),
            (std::vector<NodeID>{6, 7}));
}

TEST(NcduExportReader, HintsEachEntryByItsOwnPath) {
  // Entries after a closed folder are hinted by their own folder's path,
  // not the one that closed; a rule may start in the root's path.
  std::optional<DiskTreeArena> arena = readTree(
      R"([1,0,{},[{"name":"/x/caches"},[{"name":"a"},[{"name":"docker"},{"name":"in"}],{"name":"after"}],)"
      R"({"name":"homebrew"},[{"name":"sub"},{"name":"f"}]]])");
  ASSERT_TRUE(arena);
  std::map<std::string, std::optional<CleanableCategory>> hints;
  for (NodeID id = 0; static_cast<std::size_t>(id) < arena->nodeCount(); ++id)
    hints[arena->path(id)] = arena->categoryHint(id);
  const std::map<std::string, std::optional<CleanableCategory>> expected{
      {"/x/caches", std::nullopt},
      {"/x/caches/a", std::nullopt},
      {"/x/caches/a/docker", CleanableCategory::dockerAndVMs},
      {"/x/caches/a/docker/in", CleanableCategory::dockerAndVMs},
      {"/x/caches/a/after", std::nullopt},
      {"/x/caches/homebrew", CleanableCategory::brewAndPackages},
      {"/x/caches/sub", std::nullopt},
      {"/x/caches/sub/f", std::nullopt},
  };
  EXPECT_EQ(hints, expected);
}

TEST(NcduExportReader, ReportsWhatTheScanLeftOut) {
  std::optional<DiskTreeArena> arena = readTree(
      wrap(R"({"name":"/r","read_error":true},{"name":"x","excluded":"pattern"},{"name":"m","excluded":"othfs"},)"
           R"({"name":"s","notreg":true,"mode":41471},[{"name":"d","read_error":true}],[{"name":"e"},{"name":"f","read_error":true}])"));
  ASSERT_TRUE(arena);
  const ScanReport &report = arena->scanReport();
  EXPECT_EQ(std::tie(report.excludedCount, report.skippedSymlinkCount, report.skippedMountCount,
                     report.unreadableFolderCount, report.rootReadable),
            std::tuple(1, 1, 1, 3, false));
  ASSERT_EQ(report.skippedMounts.size(), 1u);
  EXPECT_EQ(report.skippedMounts[0].path, "/r/m");
  std::vector<std::string> unreadable;
  for (const Failure &failure : report.unreadablePaths)
    unreadable.push_back(failure.action + " " + failure.path);
  EXPECT_EQ(unreadable, (std::vector<std::string>{"read /r", "read /r/d", "inspect the entries of /r/e"}));
}

TEST(NcduExportReader, KeepsNamesByteForByte) {
  // Raw bytes that are not UTF-8, raw and escaped DEL, escapes, 4-byte UTF-8.
  const std::pair<std::string, std::string> names[] = {
      {"bad\xff\xfe", "bad\xff\xfe"},
      {"del\x7f\\u007F\x7f", "del\x7f\x7f\x7f"},
      {"mix\xc3\xa9\xc3(\xe2\x82\xf0\x9f\x98\x80\xed\xa0\x80", "mix\xc3\xa9\xc3(\xe2\x82\xf0\x9f\x98\x80\xed\xa0\x80"},
      {"new\\nline\\t\\\"q\\\\", "new\nline\t\"q\\"},
      {"\\u00e9\\ud83d\\ude00", "\xc3\xa9\xf0\x9f\x98\x80"},
      {std::string(255, 'n'), std::string(255, 'n')},
  };
  std::string entries = "{\"name\":\"/r\xff\"}";
  // Unknown fields with such bytes take their markers too.
  for (const auto &[written, _] : names)
    entries += R"(,{"name":")" + written + "\",\"dsize\":1,\"bad\xfe\":\"\x80\x7f\"}";
  std::optional<DiskTreeArena> arena = readTree(wrap(entries));
  ASSERT_TRUE(arena);
  EXPECT_EQ(arena->rootPath(), "/r\xff");
  std::map<std::string, std::int64_t> expected;
  for (const auto &[_, name] : names)
    expected[name] = 1;
  EXPECT_EQ(rootChildren(*arena), expected);
}

TEST(NcduExportReader, KeepsSequencesCutByTheReadBuffer) {
  // The padding moves a 4-byte sequence and an invalid byte across every
  // position of the first buffer's end (256 KiB).
  for (std::size_t shift = 0; shift < 6; ++shift) {
    const std::string head = R"([1,0,{"pad":")" + std::string(256 * 1024 - 20 + shift, 'p') + R"("},[{"name":"/r"},{"name":")";
    std::optional<DiskTreeArena> arena = readTree(head + "\xf0\x9f\x98\x80\xff" + R"("}]])");
    ASSERT_TRUE(arena) << shift;
    EXPECT_EQ(arena->children(0).at(0).name, "\xf0\x9f\x98\x80\xff") << shift;
  }
}

TEST(NcduExportReader, ReadsDeepNestingWithoutRecursion) {
  constexpr int depth = 100'000;
  std::string json = R"([1,0,{},[{"name":"/r"})";
  for (int i = 0; i < depth; ++i)
    json += R"(,[{"name":"d","dsize":1})";
  json += R"(,{"name":"leaf","dsize":5})";
  std::optional<DiskTreeArena> arena = readTree(json + std::string(depth, ']') + "]]");
  ASSERT_TRUE(arena);
  EXPECT_EQ(arena->rootNode()->directoryCount, depth);
  EXPECT_EQ(arena->rootNode()->allocatedSize, depth + 5);
  // Cut anywhere inside, it is refused, never returned short.
  auto cut = NcduExportReader::readBytes(json + std::string(depth / 2, ']'));
  ASSERT_TRUE(std::holds_alternative<ExportReadError>(cut));
  EXPECT_EQ(std::get<ExportReadError>(cut).byteOffset, json.size() + depth / 2);
}

} // namespace
} // namespace tarnwick
