#include "TarnwickUI/MeasuredCleaning.h"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

using Shared = CacheMeasurement::SharedFile;

TEST(MeasuredCleaningTest, AFileCountsOnlyWhenAllItsLinksAreAmongTheCleanedItems) {
  const Shared twoLinksOneHere{1, 7, 2, 1, 4096};
  const Shared threeLinksOneHere{1, 8, 3, 1, 8192};
  struct Case {
    const char *what;
    std::vector<std::pair<std::string, CacheMeasurement>> cleaned;
    std::int64_t bytes;
    std::int64_t remainingLinks;
    std::map<std::string, std::int64_t> linkedElsewhere;
  };
  const Case cases[] = {
      {"plain files", {{"/a", {8192, {}}}}, 8192, 0, {}},
      {"a link whose twin stays", {{"/a", {0, {twoLinksOneHere}}}}, 0, 1, {{"/a", 1}}},
      {"both links, in two items", {{"/a", {0, {twoLinksOneHere}}}, {"/b", {0, {twoLinksOneHere}}}}, 4096, 0, {}},
      {"a folder of which part stays", {{"/a", {100, {threeLinksOneHere}}}}, 100, 2, {}},
      {"two of three links", {{"/a", {0, {threeLinksOneHere}}}, {"/b", {0, {threeLinksOneHere}}}}, 0, 1,
       {{"/a", 1}, {"/b", 1}}},
      {"nothing cleaned", {}, 0, 0, {}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    const ReclaimedSpace space = settleReclaimedSpace(DeletionMode::permanentDelete, c.cleaned);
    EXPECT_EQ(space.mode, DeletionMode::permanentDelete);
    EXPECT_EQ(space.bytes, c.bytes);
    EXPECT_EQ(space.remainingLinks, c.remainingLinks);
    EXPECT_EQ(space.linkedElsewhere, c.linkedElsewhere);
  }
}

} // namespace
} // namespace tarnwick
