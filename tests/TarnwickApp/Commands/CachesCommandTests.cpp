#include "TarnwickApp/Commands/QuillaneProcess.h"
#include "TarnwickCore/Catalogue/LinuxFakeHome.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>

namespace quillane::test {
namespace {

namespace fs = std::filesystem;

QuillaneRun caches(const TempTree &home, const std::string &arguments) {
  return runQuillaneAtHome(home, "caches " + arguments);
}

class CachesCommandTest : public ::testing::Test {
protected:
  void SetUp() override {
    home.writeFile(".cache/huggingface/hub/models--tiny/blob", 400'000);
    home.writeFile(".cache/pip/wheels/ab/pkg.whl", 200'000);
    home.writeFile(".npm/_cacache/index", 50'000);
    home.writeFile("Documents/report.txt", 10'000);
  }
  TempTree home;
};

TEST_F(CachesCommandTest, ListsLargestFirstAsTextOrJson) {
  QuillaneRun run = caches(home, "--json");
  ASSERT_EQ(run.status, 0) << run.out;
  const auto items = nlohmann::ordered_json::parse(run.out);
  ASSERT_EQ(items.size(), 3u) << run.out;
  EXPECT_EQ(items[0]["name"], "Hugging Face Hub Cache");
  EXPECT_EQ(items[0]["isSelected"], false);
  EXPECT_EQ(items[1]["name"], "pip User Cache (.cache/pip)");
  EXPECT_EQ(items[1]["category"], "Homebrew, CocoaPods & Package Caches");
  EXPECT_EQ(items[2]["path"], home.path(".npm/_cacache"));
  EXPECT_GE(items[0]["sizeBytes"].get<std::int64_t>(), items[1]["sizeBytes"].get<std::int64_t>());

  run = caches(home, "");
  EXPECT_EQ(run.status, 0);
  EXPECT_LT(run.out.find("Hugging Face Hub Cache"), run.out.find("npm Global Cache")) << run.out;
  EXPECT_NE(run.out.find("in 3 items"), std::string::npos) << run.out;
}

TEST_F(CachesCommandTest, CleanMovesTheTickedItemsOnlyWhenConfirmed) {
  QuillaneRun run = caches(home, "--clean");
  EXPECT_EQ(run.status, 1) << "no terminal to ask on";
  EXPECT_NE(run.out.find("not a terminal"), std::string::npos) << run.out;
  EXPECT_TRUE(fs::exists(home.path(".cache/pip")));

  run = caches(home, "--clean --category 'Local AI Models & Caches (Ollama / LM Studio)' --yes");
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_NE(run.out.find("Nothing to clean"), std::string::npos) << "the model cache is not ticked by default";

  run = caches(home, "--clean --yes");
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_NE(run.out.find("2 of 2 moved to the Trash"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("freed when the Trash is emptied"), std::string::npos) << "nothing is freed before";
  for (const char *path : {".local/share/Trash/files/pip", ".local/share/Trash/files/_cacache", ".cache/huggingface/hub",
                           "Documents/report.txt"})
    EXPECT_TRUE(fs::exists(home.path(path))) << path;
  EXPECT_FALSE(fs::exists(home.path(".cache/pip")));
}

// Browsers keep session files beside their caches; cleaning the cache
// leaves them where they are and says so.
TEST_F(CachesCommandTest, CleaningABrowserCacheKeepsItsSessionFiles) {
  home.writeFile(".cache/google-chrome/Default/Cookies", 4000);
  home.writeFile(".cache/google-chrome/Default/Cache/data_0", 90'000);
  QuillaneRun run = caches(home, "--clean --yes");
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_NE(run.out.find("kept     " + home.path(".cache/google-chrome/Default/Cookies")), std::string::npos) << run.out;
  EXPECT_TRUE(fs::exists(home.path(".cache/google-chrome/Default/Cookies")));
  EXPECT_FALSE(fs::exists(home.path(".cache/google-chrome/Default/Cache")));
  EXPECT_TRUE(fs::exists(home.path(".local/share/Trash/files/Cache")));
}

// Which rows the catalogue finds is its own suite's; the command lists them
// all, and the user's Trash beside them.
TEST(CachesCommandLinuxHomeTest, ListsEveryRowAndTheTrash) {
  const LinuxFakeHome fake;
  QuillaneRun run = runQuillaneAtHome(fake.tree(), "caches --json");
  ASSERT_EQ(run.status, 0) << run.out;
  std::map<std::string, nlohmann::ordered_json> byPath;
  for (const auto &item : nlohmann::ordered_json::parse(run.out))
    byPath[item["path"].get<std::string>()] = item;
  EXPECT_EQ(byPath.size(), fake.rows().size() + 1) << run.out;
  ASSERT_TRUE(byPath.contains(fake.trash()));
  EXPECT_EQ(byPath[fake.trash()]["category"], "Trash Bins");
  EXPECT_EQ(byPath[fake.trash()]["isSelected"], false);
}

// --projects lists only the artefacts below the roots it names, and
// --clean takes the ticked ones there (old projects, no environments).
TEST(CachesCommandLinuxHomeTest, ProjectsListsAndCleansOnlyArtefactsBelowItsRoots) {
  const LinuxFakeHome fake;
  std::set<std::string> expected, ticked;
  for (const ExpectedRow &row : fake.rows())
    if (row.path.starts_with("code/old/")) {
      expected.insert(fake.path(row.path));
      if (row.ticked)
        ticked.insert(fake.path(row.path));
    }
  QuillaneRun run = runQuillaneAtHome(fake.tree(), "caches --projects " + shellQuote(fake.path("code/old")) + " --json");
  ASSERT_EQ(run.status, 0) << run.out;
  std::set<std::string> listed;
  for (const auto &item : nlohmann::ordered_json::parse(run.out))
    listed.insert(item["path"].get<std::string>());
  EXPECT_EQ(listed, expected);

  run = runQuillaneAtHome(fake.tree(), "caches --projects " + shellQuote(fake.path("code/old")) + " --clean --yes");
  EXPECT_EQ(run.status, 0) << run.out;
  for (const std::string &path : expected)
    EXPECT_EQ(fs::exists(path), !ticked.contains(path)) << path;
  EXPECT_TRUE(fs::exists(fake.path("code/new/crate/target")));
}

TEST_F(CachesCommandTest, RejectsBadUsageSayingWhy) {
  const std::pair<const char *, const char *> cases[] = {
      {"--clean --category Nonsense", "unknown category \"Nonsense\""},
      {"--clean --category", "--category needs a value"},
      {"--json --clean", "cannot be combined with --clean"},
      {"--yes", "--yes and --category go with --clean"},
      {"--json=yes", "--json takes no value"},
      {"extra", "caches takes no argument extra"},
  };
  for (const auto &[arguments, message] : cases) {
    QuillaneRun run = caches(home, arguments);
    EXPECT_EQ(run.status, 2) << arguments;
    EXPECT_NE(run.out.find(message), std::string::npos) << run.out;
  }
}

} // namespace
} // namespace quillane::test
