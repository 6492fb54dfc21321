// `quillane diff` of an export and a snapshot of one folder taken before
// and after it changed: the table and the JSON agree with stat and du. A
// file that is no scan is refused with the scan command's other refusals.
#include "TarnwickApp/Commands/QuillaneProcess.h"
#include "TarnwickCore/Scan/FastBulkScanner.h"
#include "TarnwickCore/Snapshot/ScanSnapshotWriter.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <sys/stat.h>

namespace quillane::test {
namespace {

using Json = nlohmann::json;

std::int64_t statBytes(const std::string &path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 ? std::int64_t(st.st_blocks) * 512 : -1;
}

TEST(DiffCommand, JsonHasTheExactBytesOfEveryChangeAndTextTheLargestFirstUpToTop) {
  TempTree tree, work;
  tree.writeFile("keep", 8192);
  tree.writeFile("grow", 4096);
  tree.writeFile("gone", 16384);
  const std::int64_t grewFrom = statBytes(tree.path("grow")), goneBytes = statBytes(tree.path("gone"));
  const std::int64_t duBefore = duBytes(tree.root());
  ASSERT_EQ(runQuillane(work.root(), "scan --quiet " + shellQuote(tree.root()) + " --json old.json").status, 0);
  tree.writeFile("grow", 40960);
  tree.writeFile("new", 4096);
  ::unlink(tree.path("gone").c_str());
  std::ofstream(work.path("new.qsnap"), std::ios::binary)
      << tarnwick::ScanSnapshotWriter::encode(tarnwick::FastBulkScanner().scan(tree.root()), 1'765'000'000);

  const QuillaneRun diff = runQuillane(work.root(), "diff old.json new.qsnap --json");
  ASSERT_EQ(diff.status, 0) << diff.err;
  const Json document = Json::parse(diff.out);
  EXPECT_EQ(document["older"]["scanned"], nullptr) << "an export carries no date";
  EXPECT_EQ(document["newer"]["scanned"], "2025-12-06T05:46:40Z");
  EXPECT_EQ(document["difference"], duBytes(tree.root()) - duBefore);
  std::map<std::string, Json> byName;
  for (const Json &change : document["changes"])
    byName[change["path"].get<std::string>().substr(tree.root().size())] = change;
  EXPECT_EQ(byName.size(), 4u) << diff.out; // the root, grow, gone and new; keep is unchanged
  const struct {
    const char *name;
    Json before, after;
  } cases[] = {{"/grow", grewFrom, statBytes(tree.path("grow"))},
               {"/gone", goneBytes, nullptr},
               {"/new", nullptr, statBytes(tree.path("new"))}};
  for (const auto &entry : cases) {
    SCOPED_TRACE(entry.name);
    EXPECT_EQ(byName[entry.name]["before"], entry.before);
    EXPECT_EQ(byName[entry.name]["after"], entry.after);
  }

  const QuillaneRun table = runQuillane(work.root(), "diff old.json new.qsnap --top 3");
  ASSERT_EQ(table.status, 0) << table.err;
  std::istringstream lines(table.out);
  std::vector<std::string> text;
  for (std::string line; std::getline(lines, line);)
    text.push_back(line);
  ASSERT_EQ(text.size(), 8u) << table.out; // two roots, the change, a blank line, the heading, three rows
  EXPECT_TRUE(text[0].starts_with("Older: " + tree.root() + " (") && text[0].ends_with("date unknown)")) << text[0];
  EXPECT_TRUE(text[1].ends_with("scanned 2025-12-06 05:46 UTC)")) << text[1];
  EXPECT_TRUE(text[2].starts_with("Change: +")) << text[2];
  const std::string rowEnds[] = {tree.path("grow"), tree.root() + "/", tree.path("gone")};
  for (std::size_t i = 0; i < 3; ++i)
    EXPECT_TRUE(text[5 + i].ends_with(rowEnds[i])) << text[5 + i];
  EXPECT_NE(text[7].find(" gone "), std::string::npos) << text[7];
}

} // namespace
} // namespace quillane::test
