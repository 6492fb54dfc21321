// The two cache scanners over fake home folders in temporary trees.
#include "TarnwickCore/CacheSizeMeasurer.h"
#include "TarnwickCore/CreatorCacheScanner.h"
#include "TarnwickCore/DeveloperCacheScanner.h"
#include "TarnwickCore/ScanErrors.h"
#include "TestSupport/TempTree.h"

#include <gtest/gtest.h>

#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace tarnwick {
namespace {

using enum CleanableCategory;
using quillane::test::findTotals;
using quillane::test::TempTree;

std::int64_t allocatedBytes(const std::string &path) {
  struct stat st {};
  EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
  return S_ISDIR(st.st_mode) ? findTotals(path).bytes : static_cast<std::int64_t>(st.st_blocks) * 512;
}

std::vector<CleanableItem> scanBoth(const TempTree &home) {
  std::vector<CleanableItem> items = DeveloperCacheScanner(home.root()).scan();
  for (CleanableItem &item : CreatorCacheScanner(home.root()).scan())
    items.push_back(std::move(item));
  return items;
}

std::vector<std::string> names(const std::vector<CleanableItem> &items) {
  std::vector<std::string> result;
  for (const CleanableItem &item : items)
    result.push_back(item.name);
  return result;
}

const CleanableItem *named(const std::vector<CleanableItem> &items, std::string_view name) {
  for (const CleanableItem &item : items)
    if (item.name == name)
      return &item;
  return nullptr;
}

constexpr const char *derivedData = "Library/Developer/Xcode/DerivedData";

TEST(DeveloperCacheScannerTest, EntriesWithSizeBecomeItems) {
  TempTree home;
  home.writeFile(std::string(derivedData) + "/A/Build/data", 100 * 1024);
  home.makeDirectory(std::string(derivedData) + "/B");
  const auto items = DeveloperCacheScanner(home.root()).scan();
  ASSERT_EQ(items.size(), 1u);
  const CleanableItem &item = items[0];
  const std::string path = home.path(derivedData) + "/A";
  EXPECT_EQ(item.name, "A");
  EXPECT_EQ(item.subtitle, "Xcode Build Cache (Xcode DerivedData)");
  EXPECT_EQ(item.path, path);
  EXPECT_EQ(item.sizeBytes, allocatedBytes(path));
  EXPECT_EQ(item.category, xcodeJunk);
  EXPECT_TRUE(item.isSelected && item.isSafeByDefault);
  EXPECT_EQ(item.lastModified, CacheSizeMeasurer::modificationTime(path));
  EXPECT_NE(item.id, Uuid());
}

TEST(DeveloperCacheScannerTest, WholeFolderWhenNoVisibleEntryHasSize) {
  TempTree home;
  home.writeFile(std::string(derivedData) + "/.cache/data", 8192);
  home.makeDirectory(std::string(derivedData) + "/Empty");
  const auto items = DeveloperCacheScanner(home.root()).scan();
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].name, "Xcode DerivedData");
  EXPECT_EQ(items[0].subtitle, "Xcode Build Cache");
  EXPECT_EQ(items[0].path, home.path(derivedData));
  EXPECT_EQ(items[0].sizeBytes, allocatedBytes(home.path(derivedData)));
}

TEST(DeveloperCacheScannerTest, FolderThatCannotBeListedGivesNothing) {
  // Not even the whole-folder item: a file or a link where the folder
  // belongs.
  TempTree elsewhere;
  elsewhere.writeFile("Project/data", 8192);
  for (bool asLink : {false, true}) {
    TempTree home;
    if (asLink)
      home.makeSymlink(derivedData, elsewhere.root());
    else
      home.writeFile(derivedData, 8192);
    EXPECT_TRUE(DeveloperCacheScanner(home.root()).scan().empty()) << asLink;
  }
}

TEST(DeveloperCacheScannerTest, LockedFolderGivesNothing) {
  if (::geteuid() == 0)
    GTEST_SKIP() << "root reads folders whatever their mode";
  TempTree home;
  home.writeFile(std::string(derivedData) + "/A/data", 8192);
  ASSERT_EQ(::chmod(home.path(derivedData).c_str(), 0), 0);
  EXPECT_TRUE(DeveloperCacheScanner(home.root()).scan().empty());
}

TEST(DeveloperCacheScannerTest, ArchivesAreOfferedUnselectedAndUnsafe) {
  TempTree home;
  home.writeFile("Library/Developer/Xcode/Archives/2024-05-01/Small.xcarchive/Info.plist", 4096);
  home.writeFile("Library/Developer/Xcode/Archives/2024-06-01/Big.xcarchive/Products/app", 40960);
  const auto items = DeveloperCacheScanner(home.root()).scan();
  EXPECT_EQ(names(items), (std::vector<std::string>{"2024-06-01", "2024-05-01"}));
  for (const CleanableItem &item : items) {
    EXPECT_EQ(item.subtitle, "Application Archive (Xcode Archives)");
    EXPECT_FALSE(item.isSelected || item.isSafeByDefault) << item.name;
  }
}

TEST(CacheCatalogueTest, WholeFolderRows) {
  struct Row {
    const char *location;
    const char *name;
    const char *subtitle;
    CleanableCategory category;
    bool selectedAndSafe;
  };
  const Row rows[] = {
      {"Library/Developer/CoreSimulator/Caches", "CoreSimulator Caches",
       "Simulator runtime caches and temporary files", xcodeJunk, true},
      {".cache/go-build", "Go Build Cache", "Compiled Go package objects", brewAndPackages, true},
      {".gradle/caches", "Gradle Caches", "Downloaded dependencies and build outputs", brewAndPackages, true},
      {".cache/JetBrains", "JetBrains IDE Caches", "Indexes and logs of JetBrains IDEs", brewAndPackages, true},
      {".docker/buildx/cache", "Docker Buildx Cache", "Multi-architecture builder cache", dockerAndVMs, true},
      {".cache/huggingface/hub", "Hugging Face Hub Cache", "Downloaded model and dataset files", aiModelsAndLogs,
       false},
      {"Library/Caches/Adobe/After Effects", "After Effects Disk Cache", "RAM preview and rendered frame disk cache",
       creatorCaches, true},
      {"Movies/.gallery", "DaVinci Resolve Stills Gallery (.gallery)", "Color grade still image previews",
       creatorCaches, true},
      {".cache/chromium", "Chromium Cache", "Cached web page assets and media files", browserBloat, true},
      {".cache/mozilla/firefox", "Firefox Cache (XDG)", "Page cache and offline script caches", browserBloat, true},
  };
  TempTree home;
  std::size_t size = 4096;
  for (const Row &row : rows)
    home.writeFile(std::string(row.location) + "/sub/entry", size += 4096);
  home.makeSparseFile(".npm", 3 << 20); // a location that is a file counts its length
  const auto items = scanBoth(home);
  ASSERT_EQ(items.size(), std::size(rows) + 1);
  for (const Row &row : rows) {
    const CleanableItem *item = named(items, row.name);
    ASSERT_NE(item, nullptr) << row.name;
    EXPECT_EQ(item->subtitle, row.subtitle);
    EXPECT_EQ(item->path, home.path(row.location));
    EXPECT_EQ(item->sizeBytes, allocatedBytes(item->path)) << row.name;
    EXPECT_EQ(item->category, row.category) << row.name;
    EXPECT_EQ(item->isSelected, row.selectedAndSafe) << row.name;
    EXPECT_EQ(item->isSafeByDefault, row.selectedAndSafe) << row.name;
  }
  const CleanableItem *npm = named(items, "npm Global Cache");
  ASSERT_NE(npm, nullptr);
  EXPECT_EQ(npm->sizeBytes, 3 << 20);
  std::set<std::string> ids;
  for (const CleanableItem &item : items)
    ids.insert(item.id.toString());
  EXPECT_EQ(ids.size(), items.size());
}

TEST(CacheCatalogueTest, LinksAndPackageContentsAddNothing) {
  TempTree outside;
  outside.writeFile("large", 1 << 20);
  TempTree home;
  home.writeFile(".cache/go-build/ab/object", 4096);
  home.makeSymlink(".cache/go-build/ab/toLarge", outside.path("large"));
  home.makeSymlink(".cache/go-build/toOutside", outside.root());
  home.makeSymlink(".cache/pip", outside.root());
  home.makeSymlink(std::string(derivedData) + "/Linked", outside.root());
  home.writeFile(".cache/yarn/Tool.app/Contents/large", 1 << 20);
  home.writeFile(".cache/yarn/small", 8192);
  home.writeFile(".cache/pnpm/Only.framework/large", 1 << 20);
  const auto items = DeveloperCacheScanner(home.root()).scan();
  EXPECT_EQ(names(items), (std::vector<std::string>{"Yarn Cache (XDG)", "Go Build Cache"}));
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].sizeBytes, allocatedBytes(home.path(".cache/yarn/small")));
  EXPECT_EQ(items[1].sizeBytes, allocatedBytes(home.path(".cache/go-build/ab/object")));
}

TEST(CreatorCacheScannerTest, ProtectedNamesInAnyCase) {
  struct Case {
    const char *name;
    bool isProtected;
  };
  const Case cases[] = {
      {"Cookies", true}, {"LOGIN DATA", true}, {"Default/History", true}, {"Network Persistent State", true},
      {"places.sqlite", true}, {"Cookies.old", false}, {"cookie", false}, {"History/", false}, {"", false},
      {"formhistory.sqlite-wal", false},
  };
  for (const Case &c : cases)
    EXPECT_EQ(CreatorCacheScanner::isProtectedSessionName(c.name), c.isProtected) << c.name;
}

TEST(CreatorCacheScannerTest, ProtectedEntriesAddNothingButProtectedFoldersAreWalked) {
  TempTree home;
  const std::string base = ".cache/google-chrome/Default";
  home.writeFile(base + "/Cookies", 65536);
  home.writeFile(base + "/HISTORY", 65536);
  home.writeFile(base + "/Login Data-journal", 65536);
  home.writeFile(base + "/Local Storage/leveldb/000003.log", 8192);
  home.writeFile(base + "/Cache/Cache_Data/f_000001", 16384);
  const auto items = CreatorCacheScanner(home.root()).scan();
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].sizeBytes, allocatedBytes(home.path(base + "/Local Storage/leveldb/000003.log")) +
                                    allocatedBytes(home.path(base + "/Cache/Cache_Data/f_000001")));
}

TEST(CreatorCacheScannerTest, ChromiumProfilesOfferOnlyTheirSubCaches) {
  TempTree home;
  const std::string chrome = "Library/Application Support/Google/Chrome/Default";
  home.writeFile(chrome + "/Service Worker/CacheStorage/site/entry", 20480);
  home.writeFile(chrome + "/GPUCache/data_1", 16384);
  home.writeFile(chrome + "/Code Cache/js/index", 12288);
  home.writeFile(chrome + "/Other/large", 1 << 20);
  home.writeFile(chrome + "/Preferences", 4096);
  home.writeFile("Library/Application Support/BraveSoftware/Brave-Browser/Default/Code Cache/wasm/a", 4096);
  const auto items = CreatorCacheScanner(home.root()).scan();
  EXPECT_EQ(names(items), (std::vector<std::string>{"Google Chrome Service Worker Cache",
                                                    "Google Chrome GPU Shader Cache", "Google Chrome V8 Code Cache",
                                                    "Brave Browser V8 Code Cache"}));
  ASSERT_EQ(items.size(), 4u);
  EXPECT_EQ(items[1].subtitle, "Compiled OpenGL and Metal shaders for browser rendering");
  EXPECT_EQ(items[1].path, home.path(chrome + "/GPUCache"));
  EXPECT_EQ(items[1].category, browserBloat);
}

TEST(CreatorCacheScannerTest, FinalCutLibrariesAtTheTopOfMoviesOnly) {
  TempTree home;
  home.writeFile("Movies/Trip.fcpbundle/Render Files/r", 40960);
  home.writeFile("Movies/Trip.fcpbundle/Analysis Files/a", 20480);
  home.writeFile("Movies/SHOUT.FCPBUNDLE/Render Files/r", 8192);
  home.writeFile("Movies/Projects/Deep.fcpbundle/Render Files/r", 8192);
  home.writeFile("Movies/.Hidden.fcpbundle/Render Files/r", 8192);
  home.makeSymlink("Movies/Linked.fcpbundle", "Trip.fcpbundle");
  const auto items = CreatorCacheScanner(home.root()).scan();
  EXPECT_EQ(names(items), (std::vector<std::string>{"Trip Render Files", "Trip Analysis Files", "SHOUT Render Files"}));
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(items[1].subtitle, "FCP Optical Flow and Stabilization Analysis");
  EXPECT_EQ(items[2].subtitle, "FCP Library Pre-rendered Timeline Media");
  EXPECT_EQ(items[2].path, home.path("Movies/SHOUT.FCPBUNDLE/Render Files"));
}

TEST(CacheCatalogueTest, EqualSizesKeepGroupThenTableOrder) {
  // Every home-relative developer location in catalogue order, all of one
  // size behind one larger item: enough equal items that an unstable sort
  // would reorder them. Created in reverse, so creation order cannot help.
  const std::vector<std::string> developerOrder = {
      "Library/Caches/com.apple.dt.Xcode", "Library/Developer/CoreSimulator/Caches", "Library/Caches/Homebrew",
      "Library/Caches/CocoaPods", "Library/Caches/org.swift.swiftpm", ".npm", "Library/Caches/npm",
      "Library/Caches/Yarn", "Library/pnpm/store", ".cargo/registry/cache", "Library/Caches/pip", ".cache/pip",
      ".cache/yarn", ".cache/go-build", ".cache/pnpm", ".gradle/caches", ".cache/JetBrains",
      "Library/Containers/com.docker.docker/Data/cache", "Library/Containers/com.docker.docker/Data/log",
      ".docker/buildx/cache", ".orbstack/log", "Library/Caches/dev.kdrag0n.MacVirt", ".ollama/logs",
      "Library/Caches/ollama", "Library/Caches/com.electron.ollama", ".lmstudio/server-logs",
      ".cache/huggingface/hub"};
  const std::vector<std::string> creatorOrder = {"Library/Caches/Adobe/Premiere Pro", "Movies/CacheClip",
                                                 ".cache/chromium"};
  TempTree home;
  for (auto list : {&creatorOrder, &developerOrder})
    for (auto location = list->rbegin(); location != list->rend(); ++location)
      home.writeFile(*location + "/data", 8192);
  home.writeFile(std::string(derivedData) + "/Project/large", 65536);
  auto relativePaths = [&](const std::vector<CleanableItem> &items) {
    std::vector<std::string> paths;
    for (const CleanableItem &item : items)
      paths.push_back(item.path.substr(home.root().size() + 1));
    return paths;
  };
  std::vector<std::string> expected = developerOrder;
  expected.insert(expected.begin(), std::string(derivedData) + "/Project");
  EXPECT_EQ(relativePaths(DeveloperCacheScanner(home.root()).scan()), expected);
  EXPECT_EQ(relativePaths(CreatorCacheScanner(home.root()).scan()), creatorOrder);
}

TEST(CacheCatalogueTest, StoppedTokenThrowsBeforeMeasuring) {
  TempTree home;
  home.writeFile(".cache/go-build/data", 8192);
  home.writeFile(".cache/chromium/data", 8192);
  std::stop_source stop;
  stop.request_stop();
  EXPECT_THROW(DeveloperCacheScanner(home.root()).scan(stop.get_token()), ScanCancelledError);
  EXPECT_THROW(CreatorCacheScanner(home.root()).scan(stop.get_token()), ScanCancelledError);
  EXPECT_EQ(scanBoth(home).size(), 2u); // the same home with a live token
}

} // namespace
} // namespace tarnwick
