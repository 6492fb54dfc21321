// Where an entry really lies, on a scratch tree with links in its folders
// and at its end.
#include "TarnwickCore/Support/RealPath.h"
#include "TestSupport/TempTree.h"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

using quillane::test::TempTree;

TEST(RealEntryLocationTest, FoldersAreResolvedAndTheEntryItselfNever) {
  TempTree tree;
  tree.writeFile("real/dir/file", 1);
  tree.makeSymlink("linked", "real");
  tree.makeSymlink("real/dir/link", "../../elsewhere");
  const std::string r = tree.root();
  const struct {
    std::string path;
    std::string expected;
  } cases[] = {
      {r + "/linked/dir/file", r + "/real/dir/file"},
      {r + "/linked/dir/link", r + "/real/dir/link"}, // the link itself, not where it leads
      {r + "/linked/dir/", r + "/real/dir"},
      {r + "/linked/dir/gone/deeper/name", r + "/real/dir/gone/deeper/name"}, // folders not there (yet)
      {r + "/linked", r + "/linked"},
      {"/", "/"},
      {"relative/linked", "relative/linked"},
  };
  for (const auto &c : cases)
    EXPECT_EQ(realEntryLocation(c.path), c.expected) << c.path;
}

} // namespace
} // namespace tarnwick
