#include "TarnwickCore/Import/ImportedRootLocation.h"

#include "TestSupport/TempTree.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace tarnwick {
namespace {

using quillane::test::TempTree;

TEST(ImportedRootLocation, AFolderHereOnTheRecordedDeviceOnly) {
  TempTree tree;
  tree.writeFile("folder/file", 10);
  struct stat status {};
  ASSERT_EQ(::stat(tree.path("folder").c_str(), &status), 0);
  const std::uint64_t device = status.st_dev;
  tree.makeSymlink("link", tree.path("folder"));
  const struct {
    std::string root;
    std::optional<std::uint64_t> device;
    ImportedRootLocation expected;
  } cases[] = {
      {tree.path("folder"), std::nullopt, ImportedRootLocation::here},
      {tree.path("folder"), device, ImportedRootLocation::here},
      {tree.path("link"), device, ImportedRootLocation::here}, // as a scan of it follows it
      {tree.path("folder"), device + 1, ImportedRootLocation::otherDevice},
      {tree.path("missing"), std::nullopt, ImportedRootLocation::absent},
      {tree.path("missing"), device, ImportedRootLocation::absent},
      {tree.path("folder/file"), std::nullopt, ImportedRootLocation::absent},
      {"folder", std::nullopt, ImportedRootLocation::absent}, // relative: another computer's working folder
      {"", std::nullopt, ImportedRootLocation::absent},
  };
  for (const auto &c : cases)
    EXPECT_EQ(locateImportedRoot(c.root, c.device), c.expected) << c.root << " " << c.device.value_or(0);
}

} // namespace
} // namespace tarnwick
