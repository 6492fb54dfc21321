// The scan report document: read back as JSON and checked against du and
// find on the same tree, names that are not UTF-8 included.
#include "TarnwickApp/Commands/ScanReportJson.h"

#include "TarnwickApp/Commands/QuillaneProcess.h"
#include "TarnwickCore/Scan/FastBulkScanner.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

namespace quillane {
namespace {

using namespace quillane::test;

TEST(ScanReportJsonTest, SummaryLargestFilesAndTypesAgreeWithDuAndFind) {
  TempTree tree;
  tree.writeFile("video/film.mkv", 700'000);
  tree.writeFile("video/trailer.MKV", 70'000);
  tree.writeFile("notes", 7'000);
  tree.writeFile("odd\xff name.txt", 170'000);
  const tarnwick::DiskTreeArena arena = tarnwick::FastBulkScanner().scan(tree.root());
  char *text = nullptr;
  std::size_t length = 0;
  std::FILE *out = ::open_memstream(&text, &length);
  ASSERT_TRUE(writeScanReportJson(arena, 2, out));
  std::fclose(out);
  const nlohmann::json report = nlohmann::json::parse(std::string(text, length));
  std::free(text);

  EXPECT_EQ(report["schema"], "quillane-scan-report");
  EXPECT_EQ(report["version"], 1);
  EXPECT_EQ(report["summary"]["bytes"], duBytes(tree.root()));
  EXPECT_EQ(report["summary"]["files"], 4);
  ASSERT_EQ(report["largest_files"].size(), 2u);
  EXPECT_EQ(report["largest_files"][0]["path"], tree.path("video/film.mkv"));
  EXPECT_EQ(report["largest_files"][1]["path"], tree.root() + "/odd\xef\xbf\xbd name.txt");
  EXPECT_EQ(report["largest_files"][0]["bytes"], duBytes(tree.path("video/film.mkv")));
  std::int64_t typed = 0;
  for (const auto &type : report["file_types"])
    typed += type["bytes"].get<std::int64_t>();
  // Every file has a type or none; only the folders' own blocks are left.
  const std::int64_t fileBytes = std::stoll(runCommand("find " + shellQuote(tree.root()) +
                                                       " -type f -printf '%b\\n' | awk '{s+=$1} END {print s*512}'"));
  EXPECT_EQ(typed, fileBytes);
  EXPECT_EQ(report["file_types"][0]["type"], "mkv");
  EXPECT_EQ(report["file_types"][0]["files"], 2);
}

TEST(ScanReportJsonTest, TheScanCommandListsAndWritesThemOnRequest) {
  TempTree tree;
  tree.writeFile("big.iso", 300'000);
  tree.writeFile("small.txt", 3'000);
  const QuillaneRun run = runQuillane(tree.root(), "scan . --quiet --largest 1 --types --report-json report.json");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("Largest files:\n  "), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("/big.iso\n\nFile types:"), std::string::npos) << run.out;
  const nlohmann::json report = nlohmann::json::parse(readFile(tree.path("report.json")));
  EXPECT_EQ(report["largest_files"].size(), 1u);
  EXPECT_EQ(runQuillane(tree.root(), "scan . --json - --report-json -").status, 2);
}

} // namespace
} // namespace quillane
