#include "TarnwickCore/Import/ExportByteStream.h"
#include "TarnwickCore/Import/NcduExportReader.h"
#include "TarnwickCore/Snapshot/SnapshotFormat.h"
#include "TarnwickCore/Support/UniqueFd.h"

#include "TestSupport/TempTree.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <fstream>
#include <future>
#include <map>
#include <sys/resource.h>
#include <unistd.h>

namespace tarnwick {
namespace {

using Kind = ExportReadError::Kind;

std::string wrap(std::string_view rootAndEntries, std::string_view metadata = "{}") {
  return "[1,2," + std::string(metadata) + ",[" + std::string(rootAndEntries) + "]]";
}

std::string repeated(std::string_view text, std::size_t times) {
  std::string all;
  for (std::size_t i = 0; i < times; ++i)
    all += text;
  return all;
}

// The tree of `json`, or a test failure naming the refusal.
std::optional<DiskTreeArena> readTree(std::string_view json) {
  NcduExportReader::Outcome outcome = NcduExportReader::readBytes(json);
  if (const auto *error = std::get_if<ExportReadError>(&outcome)) {
    ADD_FAILURE() << "refused: " << error->message();
    return std::nullopt;
  }
  return std::get<DiskTreeArena>(std::move(outcome));
}

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

struct Refused {
  std::string json;
  Kind kind;
  /// The offset is just after the first occurrence of this text, or the
  /// text's end when empty.
  std::string after;
};

TEST(NcduExportReader, RefusesBadInputWithWhereAndWhy) {
  const std::string root = R"([1,0,{},[{"name":"/r"})";
  const Refused cases[] = {
      {"", Kind::syntax, ""},
      {root, Kind::syntax, ""},
      {root + "]", Kind::syntax, ""},
      {root + "]] x", Kind::syntax, "]] "},
      {"{}", Kind::structure, "{"},
      {R"([2,0,{},[{"name":"/r"}]])", Kind::structure, "[2"},
      {R"([1,0,[],[{"name":"/r"}]])", Kind::structure, "0,["},
      {R"([1,0,{},{"name":"/r"}])", Kind::structure, "{},{"},
      {R"([1,0,{},[{"name":"/r"}],[]])", Kind::structure, "}],["},
      {R"([1,0,{},[]])", Kind::structure, "[]"},
      {R"([1,0,{},[[{"name":"x"}]]])", Kind::structure, "[["},
      {root + ",3]]", Kind::structure, ",3"},
      {root + R"(,{"dsize":1}]])", Kind::structure, R"({"dsize":1})"},
      {root + R"(,{"name":"a","dsize":"12"}]])", Kind::wrongType, R"("12")"},
      {root + R"(,{"name":"a","dsize":1.5}]])", Kind::wrongType, "1.5"},
      {root + R"(,{"name":7}]])", Kind::wrongType, "7"},
      {root + R"(,{"name":"a","hlnkc":1}]])", Kind::wrongType, ":1"},
      {root + R"(,{"name":"a","ino":[5]}]])", Kind::wrongType, ":["},
      {root + R"(,{"name":"a","dsize":-1}]])", Kind::badValue, "-1"},
      {root + R"(,{"name":"a","dsize":9223372036854775808}]])", Kind::badValue, "808"},
      {root + R"(,{"name":"a","dsize":1e999}]])", Kind::badValue, "1e999"},
      {root + R"(,{"name":"a","ino":18446744073709551616}]])", Kind::badValue, "616"},
      {root + R"(,{"name":"a/b"}]])", Kind::badValue, R"("a/b"})"},
      {root + R"(,{"name":""}]])", Kind::badValue, R"(""})"},
      {root + R"(,{"name":".."}]])", Kind::badValue, R"(".."})"},
      {root + R"(,{"name":"a\u0000"}]])", Kind::badValue, R"(0"})"},
      {root + R"(,{"name":"\udc80"}]])", Kind::syntax, R"(\udc8)"},
      {root + "\x01", Kind::syntax, root},
      {root + "\xff]]", Kind::syntax, root}, // bytes beyond ASCII are kept inside strings only
      {root + R"(,{"name":"raw)" + std::string("\n") + R"("}]])", Kind::syntax, "raw"},
      {root + R"(,{"name":"a","dsize":1},[{"name":"b"}],{"name":"a","z":0}]])", Kind::duplicateName, R"("z":0})"},
      {root + R"(,{"name":"a","dsize":9223372036854775807},{"name":"b","dsize":1}]])", Kind::tooLarge, R"("dsize":1})"},
      // Runs of whitespace reach the parser shortened; offsets stay the text's.
      {root + " \n\t  \r  \x01", Kind::syntax, root + " \n\t  \r  "},
      {root + "  \n  ", Kind::syntax, ""},
      {root + R"(  ,  {  "name" :  "a" ,   "dsize"  :   -1   }  ]])", Kind::badValue, "-1"},
      {root + R"(,  {"name":"a",   "dsize":   1.5     }]])", Kind::wrongType, "1.5"},
      {root + R"(,  {"name":"a",   "dsize":   1e999     }]])", Kind::badValue, "1e999"},
      {root + "   ,     {\"dsize\":1}   ]]", Kind::structure, "{\"dsize\":1}"},
      // What the parser holds on to without a value to clear it is bounded:
      // nesting in skipped values, and brackets beyond two per level (the
      // run below reaches 4 levels).
      {R"([1,0,{"x":)" + std::string(70'000, '[') + "]", Kind::structure, R"([1,0,{"x":)" + std::string(65'537, '[')},
      {R"([1,0,{"x":[)" + repeated("[],", 5000) + "1]}]", Kind::structure,
       R"([1,0,{"x":[)" + repeated("[],", (4096 + 2 * 4 - 1) / 2) + "[]"},
  };
  for (const Refused &refused : cases) {
    SCOPED_TRACE(refused.json);
    auto outcome = NcduExportReader::readBytes(refused.json);
    ASSERT_TRUE(std::holds_alternative<ExportReadError>(outcome));
    const ExportReadError &error = std::get<ExportReadError>(outcome);
    EXPECT_EQ(error.kind, refused.kind) << error.message();
    const std::size_t at = refused.after.empty() ? refused.json.size()
                                                 : refused.json.find(refused.after) + refused.after.size();
    EXPECT_EQ(error.byteOffset, at) << error.message();
    EXPECT_FALSE(error.detail.empty());
  }
}

TEST(NcduExportReader, HandsOnOneByteOfEachRunOfWhitespace) {
  const std::pair<std::string, std::string> cases[] = {
      {"[1, \t\n 2]  \r\n", "[1, 2] "},
      {"[\"a \t  b\"   ,  \"c\\\"   d\"  ]", "[\"a \t  b\" , \"c\\\"   d\" ]"},
      // Longer than two read buffers.
      {"[" + std::string(600 * 1024, ' ') + "1\n" + std::string(300 * 1024, '\t') + "]", "[ 1\n]"},
  };
  for (const auto &[text, handed] : cases) {
    SCOPED_TRACE(handed);
    ExportInput input(text);
    ExportByteStream stream(input);
    std::string seen;
    for (int c = stream.sbumpc(); c != std::char_traits<char>::eof(); c = stream.sbumpc()) {
      seen.push_back(static_cast<char>(c));
      // Each byte handed on is the one at its offset in the text.
      const std::uint64_t offset = stream.textOffset(seen.size());
      ASSERT_EQ(offset, stream.consumed());
      ASSERT_TRUE(offset >= 1 && offset <= text.size());
      EXPECT_EQ(text[offset - 1], seen.back()) << seen.size();
    }
    EXPECT_EQ(seen, handed);
    EXPECT_EQ(stream.textOffset(seen.size() + 1), text.size() + 1) << "the end of the text is after all of it";
  }
}

TEST(NcduExportReader, RefusesTokensFarLongerThanAnyInAnExport) {
  const std::string root = R"([1,0,{},[{"name":"/r"})";
  // The longest name, every byte spelt in six: read, however long its text.
  std::string escaped;
  for (int i = 0; i < 65'535; ++i)
    escaped += "\\u0001";
  std::optional<DiskTreeArena> arena = readTree(root + R"(,{"name":")" + escaped + R"("}]])");
  ASSERT_TRUE(arena);
  EXPECT_EQ(arena->children(0).at(0).name, std::string(65'535, '\x01'));
  // Beyond the bound the read ends at the first byte too many: the token's
  // first byte, where each case's text ends, plus the bound.
  const std::string tooLong(ExportByteStream::longestToken, '0');
  const std::string starts[] = {
      root + R"(,{"name":")",
      R"([1,0,{"note":")",
      root + R"(,{"name":"a","future":)" + std::string(1000, ' ') + "\"",
      root + R"(,{"name":"a","dsize":)",
  };
  for (const std::string &start : starts) {
    SCOPED_TRACE(start.substr(0, 40));
    const bool number = start.back() != '"';
    auto outcome = NcduExportReader::readBytes(start + (number ? "1" : "") + tooLong + (number ? "}]]" : "\"}]]"));
    ASSERT_TRUE(std::holds_alternative<ExportReadError>(outcome));
    const ExportReadError &error = std::get<ExportReadError>(outcome);
    EXPECT_EQ(error.kind, Kind::badValue) << error.message();
    EXPECT_EQ(error.byteOffset, start.size() - (number ? 0 : 1) + ExportByteStream::longestToken) << error.message();
  }
}

// Reads `json` with 64 MiB of address space left; 0 when the read ran out of
// memory and said where, somewhere inside the text.
int readUnderTightLimit(const std::string &json) {
  std::size_t pages = 0;
  std::ifstream("/proc/self/statm") >> pages;
  const rlim_t limit = pages * static_cast<rlim_t>(::sysconf(_SC_PAGESIZE)) + (rlim_t{64} << 20);
  const rlimit space{limit, limit};
  ::setrlimit(RLIMIT_AS, &space);
  const auto outcome = NcduExportReader::readBytes(json);
  const auto *error = std::get_if<ExportReadError>(&outcome);
  if (error)
    std::fprintf(stderr, "%s\n", error->message().c_str());
  return error && error->kind == Kind::tooLarge && error->byteOffset > 1'000'000 && error->byteOffset < json.size() ? 0 : 1;
}

// Out of memory, the read says how far it got. A child process under an
// address space limit a little above its use runs out for sure.
TEST(NcduExportReader, OutOfMemorySaysWhereItStopped) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "the sanitizer runtime reserves more address space than any limit leaves";
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
  GTEST_SKIP() << "the sanitizer runtime reserves more address space than any limit leaves";
#endif
#endif
  // Two million files need far more than the 64 MiB the limit leaves.
  std::string json = R"([1,0,{},[{"name":"/r"})";
  for (int i = 0; i < 2'000'000; ++i)
    json += ",{\"name\":\"" + std::to_string(i) + "\"}";
  json += "]]";
  GTEST_FLAG_SET(death_test_style, "fast");
  EXPECT_EXIT(std::_Exit(readUnderTightLimit(json)), ::testing::ExitedWithCode(0), "out of memory");
}

// Standard input on a pipe's writing end can never bring input: the read
// fails at once, where waiting for input would wait for ever.
TEST(NcduExportReader, AWriteOnlyDescriptorFailsAtOnce) {
  int ends[2];
  ASSERT_EQ(::pipe2(ends, O_CLOEXEC), 0);
  const UniqueFd reading(ends[0]);
  std::stop_source stop;
  auto outcome =
      std::async(std::launch::async, [&] { return NcduExportReader::read(UniqueFd(ends[1]), stop.get_token()); });
  if (outcome.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
    stop.request_stop();
    ADD_FAILURE() << "still waiting for input on a write-only descriptor";
  }
  const NcduExportReader::Outcome read = outcome.get();
  ASSERT_TRUE(std::holds_alternative<ExportReadError>(read));
  EXPECT_NE(std::get<ExportReadError>(read).message().find("Bad file descriptor"), std::string::npos)
      << std::get<ExportReadError>(read).message();
}

TEST(NcduExportReader, ReadsCompressedExportsAndRefusesCutOnes) {
  quillane::test::TempTree work;
  const std::string json = wrap(R"({"name":"/r","dsize":1},{"name":"a","dsize":2})");
  std::ofstream(work.path("plain.json"), std::ios::binary) << json;
  for (const char *tool : {"gzip", "zstd"}) {
    SCOPED_TRACE(tool);
    int status = -1;
    quillane::test::runCommand("command -v " + std::string(tool), &status);
    ASSERT_EQ(status, 0) << tool << " is not installed";
    const std::string packed = work.path(std::string("packed.") + tool);
    quillane::test::runCommand(std::string(tool) + " -c " + work.path("plain.json") + " > " + packed);
    auto outcome = NcduExportReader::readFile(packed);
    ASSERT_TRUE(std::holds_alternative<DiskTreeArena>(outcome)) << std::get<ExportReadError>(outcome).message();
    EXPECT_EQ(std::get<DiskTreeArena>(outcome).rootNode()->allocatedSize, 3);
    const std::string bytes = quillane::test::readFile(packed);
    for (std::size_t keep : {bytes.size() - 3, bytes.size() / 2}) {
      auto cut = NcduExportReader::readBytes(std::string_view(bytes).substr(0, keep));
      ASSERT_TRUE(std::holds_alternative<ExportReadError>(cut)) << keep;
      EXPECT_EQ(std::get<ExportReadError>(cut).kind, Kind::compression) << std::get<ExportReadError>(cut).message();
    }
  }
  // Files that are not exports at all say what they are.
  const std::pair<std::string, const char *> others[] = {
      {"\xbfncduEX1\x00\x00\x00\x00", "ncdu -o"},
      {std::string(snapshot::magic) + std::string(8, '\0'), "snapshot"},
  };
  for (const auto &[bytes, note] : others) {
    auto other = NcduExportReader::readBytes(bytes);
    ASSERT_TRUE(std::holds_alternative<ExportReadError>(other)) << note;
    EXPECT_NE(std::get<ExportReadError>(other).detail.find(note), std::string::npos)
        << std::get<ExportReadError>(other).message();
  }
  auto missing = NcduExportReader::readFile(work.path("missing.json"));
  ASSERT_TRUE(std::holds_alternative<ExportReadError>(missing));
  EXPECT_EQ(std::get<ExportReadError>(missing).kind, Kind::unreadable);
}

} // namespace
} // namespace tarnwick
