// Finding nodes by name: known answers for the matching rules, and whole-tree
// searches checked against find -iname on the same tree.
#include "TarnwickCore/Scan/FastBulkScanner.h"
#include "TarnwickCore/Tree/ArenaEdit.h"
#include "TarnwickCore/Tree/NameSearch.h"
#include "TestSupport/TempTree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <sstream>

namespace tarnwick {
namespace {

using quillane::test::runCommand;
using quillane::test::shellQuote;
using quillane::test::TempTree;

TEST(NameSearchTest, MatchingRules) {
  struct Case {
    const char *pattern, *name;
    bool matches;
  };
  const Case cases[] = {
      {"report", "Annual REPORT.pdf", true}, {"report", "repor", false},    {"", "anything", false},
      {"*.PDF", "a.pdf", true},              {"*.pdf", "a.pdf.bak", false}, {"a?c", "abc", true},
      {"a?c", "ac", false},                  {"a?c", "aéc", true},          {"*b*b", "abxbyb", true},
      {"*b*b", "abxbya", false},             {"**", "", true},              {"[ab]", "[AB]", true},
      {"ÉTÉ", "été.txt", true},              {"straße", "STRAßE", true},    {"Ölung", "ölung", true},
      {"ŁÓDŹ", "łódź", true},                {"ΑΘΗΝΑ", "αθηνα", true},      {"МОСКВА", "москва", true},
      {"ЁЖ", "ёж", true},                    {"Ÿ", "ÿ", true},              {"\xff\xfe", "x\xff\xfey", true},
      {"\xc3", "\xc3\xa9", true},            {"é", "e", false},
  };
  for (const Case &c : cases)
    EXPECT_EQ(NameSearch(c.pattern).matches(c.name), c.matches) << c.pattern << " in " << c.name;
}

class NameSearchTreeTest : public ::testing::Test {
protected:
  void SetUp() override {
    for (const char *name : {"src/Main.cpp", "src/util/strings.cpp", "src/util/strings.h", "docs/README.md",
                             "docs/readme-old.txt", "build/main.o", "build/CMakeCache.txt", "Readme.md"})
      tree.writeFile(name, 1);
    tree.makeDirectory("src/readme");
    arena = FastBulkScanner().scan(tree.root());
  }
  // The paths find -iname gives, sorted.
  std::vector<std::string> byFind(const std::string &glob) const {
    const std::string command = "find " + shellQuote(tree.root()) + " -mindepth 1 -iname " + shellQuote(glob);
    std::istringstream lines(runCommand(command));
    std::vector<std::string> paths;
    for (std::string line; std::getline(lines, line);)
      paths.push_back(line);
    std::ranges::sort(paths);
    return paths;
  }
  std::vector<std::string> pathsOf(const std::vector<NodeID> &ids, const DiskTreeArena &in) const {
    std::vector<std::string> paths;
    for (NodeID id : ids)
      paths.push_back(in.path(id));
    std::ranges::sort(paths);
    return paths;
  }

  TempTree tree;
  DiskTreeArena arena;
};

TEST_F(NameSearchTreeTest, FindsWhatFindFindsShallowFirstAndWithinTheLimit) {
  for (const std::string pattern : {"readme", "*.CPP", "strings.?", "main*", "x"}) {
    const bool glob = pattern.find_first_of("*?") != std::string::npos;
    const NameSearchResult all = NameSearch(pattern).findIn(arena, 100);
    EXPECT_EQ(pathsOf(all.matches, arena), byFind(glob ? pattern : "*" + pattern + "*")) << pattern;
    EXPECT_TRUE(std::ranges::is_sorted(all.matches)) << "identifier order puts shallower nodes first";
    const NameSearchResult first = NameSearch(pattern).findIn(arena, 1);
    EXPECT_EQ(first.matchCount, all.matches.size());
    EXPECT_EQ(first.matches, std::vector(all.matches.begin(), all.matches.begin() + (all.matches.empty() ? 0 : 1)));
  }
}

TEST_F(NameSearchTreeTest, SkipsRemovedNodesAndStopsWhenAsked) {
  const DiskTreeArena edited = withoutSubtrees(arena, std::array{*findNodeByPath(arena, tree.path("docs"))});
  EXPECT_EQ(pathsOf(NameSearch("readme").findIn(edited, 100).matches, edited),
            (std::vector<std::string>{tree.path("Readme.md"), tree.path("src/readme")}));
  std::stop_source stop;
  stop.request_stop();
  // Stopping is checked every thousand nodes or so: a big enough table.
  TempTree wide;
  runCommand("cd " + shellQuote(wide.root()) + " && seq 1500 | sed 's/^/f/' | xargs touch");
  const NameSearchResult stopped = NameSearch("f").findIn(FastBulkScanner().scan(wide.root()), 10, stop.get_token());
  EXPECT_TRUE(stopped.stopped);
  EXPECT_LT(stopped.matchCount, 1500u);
}

} // namespace
} // namespace tarnwick
