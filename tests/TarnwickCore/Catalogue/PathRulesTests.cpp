#include "TarnwickCore/Catalogue/PathRules.h"
#include "TarnwickCore/Scan/PseudoFileSystemTable.h"

#include <gtest/gtest.h>

#include <random>
#include <sys/sysmacros.h>

namespace tarnwick {
namespace {

using enum CleanableCategory;

TEST(PathRulesTest, CategoryHintFollowsTableOrder) {
  struct Case {
    const char *path;
    std::optional<CleanableCategory> expected;
  };
  const Case cases[] = {
      {"/Users/a/Library/Caches/Homebrew/x", brewAndPackages}, // before the generic caches row
      {"/Users/a/Library/Caches/com.app", userCache},
      {"/home/a/.cache/pip/wheels", brewAndPackages}, // Linux rows beat the catch-all
      {"/home/a/.cache/thumbnails", userCache}, {"/home/a/.cache/huggingface/hub", aiModelsAndLogs},
      {"/home/a/.local/share/Trash/files/x", trashBins},
      {"/home/a/.local/share/docker/overlay2", dockerAndVMs}, // "/docker" row comes first anyway
      {"/home/a/.config/Code/Code Cache/js", browserBloat},
      {"/home/a/.var/FCPBundle/x", creatorCaches}, // matched anywhere, case-insensitively
      {"/srv/proj/node_modules/.cache/x", brewAndPackages}, {"/home/a/Documents/report.pdf", std::nullopt},
      {"", std::nullopt},
  };
  for (const Case &c : cases)
    EXPECT_EQ(categoryHint(c.path), c.expected) << c.path;
}

TEST(PathRulesTest, PackageExtensionsAreCaseInsensitive) {
  for (const char *name : {"Photos.photoslibrary", "TOOL.APP", "x.Framework", "a.b.bundle"})
    EXPECT_TRUE(hasPackageExtension(name)) << name;
  for (const char *name : {".app", "app", "x.apps", "x.", "notes.txt"})
    EXPECT_FALSE(hasPackageExtension(name)) << name;
}

TEST(PathRulesTest, DirectoryMatcherAgreesWithWholePathRule) {
  // Random paths built from fragments of the rules, so matches straddle the
  // directory/name boundary in every way.
  const std::vector<std::string> fragments = {
      "/", ".", "cache", "Caches", "library", "LIBRARY", "developer", "xcode", "homebrew", "docker",
      "pip", "node_modules", "trash", "Trash", "local", "share", "code cache", "gpucache", "fcp",
      "bundle", "cacheclip", "service worker", "cachestorage", "a", "ollama", "m2", "repository",
      "Google", "chrome", "cachecac", "FCPBUNDLE", "/library/caches", "/.cache/"};
  std::mt19937 random(42);
  auto piece = [&] { return fragments[random() % fragments.size()]; };
  for (int round = 0; round < 20000; ++round) {
    std::string directory = "/";
    for (int i = random() % 12; i > 0; --i)
      directory += piece();
    std::string name;
    for (int i = 1 + random() % 4; i > 0; --i) {
      std::string part = piece();
      if (part.find('/') == std::string::npos)
        name += part;
    }
    if (name.empty())
      continue;
    std::string joined = directory + (directory.back() == '/' ? "" : "/") + name;
    ASSERT_EQ(DirectoryHintMatcher(directory).childMatches(name), DirectoryHintMatcher::matchesIn(joined))
        << directory << " + " << name;
  }
}

TEST(PseudoFileSystemTableTest, ParsesMountInfoTypesAfterSeparator) {
  const char *mountInfo =
      "22 1 0:21 / /proc rw,nosuid shared:12 - proc proc rw\n"
      "23 1 0:22 / /sys rw,nosuid shared:2 master:1 - sysfs sysfs rw\n"
      "24 1 8:1 / / rw,relatime - ext4 /dev/sda1 rw\n"
      "25 23 0:26 / /sys/fs/cgroup rw - cgroup2 cgroup2 rw\n"
      "26 1 0:5 / /dev rw - devtmpfs udev rw\n"
      "27 1 0:30 / /tmp rw - tmpfs tmpfs rw\n"
      "garbage line without separator\n";
  PseudoFileSystemTable table = PseudoFileSystemTable::fromMountInfo(mountInfo);
  for (auto [major, minor] : {std::pair{0u, 21u}, {0u, 22u}, {0u, 26u}, {0u, 5u}})
    EXPECT_TRUE(table.contains(static_cast<std::int64_t>(makedev(major, minor)))) << minor;
  EXPECT_FALSE(table.contains(static_cast<std::int64_t>(makedev(8, 1))));
  EXPECT_FALSE(table.contains(static_cast<std::int64_t>(makedev(0, 30)))); // tmpfs is real storage
}

} // namespace
} // namespace tarnwick
