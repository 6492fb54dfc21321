// What the export reader refuses, where and why, and the bounds that keep
// its memory with the tree whatever the text holds.
#include "TarnwickCore/Import/ExportByteStream.h"
#include "TarnwickCore/Import/ExportText.h"
#include "TarnwickCore/Snapshot/SnapshotFormat.h"
#include "TarnwickCore/Support/UniqueFd.h"

#include "TestSupport/TempTree.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <fstream>
#include <future>
#include <sys/resource.h>
#include <unistd.h>

namespace tarnwick {
namespace {

using Kind = ExportReadError::Kind;

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
