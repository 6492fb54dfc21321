// The two cache scanners, the project finder and the catalogue over fake
// home folders in temporary trees.
#include "TarnwickCore/Catalogue/CacheCatalogue.h"
#include "TarnwickCore/Catalogue/CacheSizeMeasurer.h"
#include "TarnwickCore/Catalogue/CreatorCacheScanner.h"
#include "TarnwickCore/Catalogue/DeveloperCacheScanner.h"
#include "TarnwickCore/Catalogue/ProjectArtefactFinder.h"
#include "TarnwickCore/Support/ScanErrors.h"
#include "TestSupport/ScopedMount.h"
#include "TestSupport/ScopedNoDacOverride.h"
#include "TestSupport/TempTree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <sys/stat.h>

namespace tarnwick {
namespace {

using enum CleanableCategory;
using quillane::test::findTotals;
using quillane::test::runCommand;
using quillane::test::ScopedMount;
using quillane::test::ScopedNoDacOverride;
using quillane::test::shellQuote;
using quillane::test::TempTree;

// The blocks of `path` itself, a folder's listing for a folder.
std::int64_t ownBytes(const std::string &path) {
  struct stat st {};
  EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
  return static_cast<std::int64_t>(st.st_blocks) * 512;
}

// A file's blocks, or a folder's files' and folders' (links and packages
// below it hold none).
std::int64_t allocatedBytes(const std::string &path) {
  if (!std::filesystem::is_directory(std::filesystem::symlink_status(path)))
    return ownBytes(path);
  const quillane::test::FindTotals found = findTotals(path);
  return found.bytes + found.folderBytes;
}

// What removing all of `roots` frees, from find alone: each folder, each
// file once, and only when every one of its names lies below them.
std::int64_t freedByFind(const std::vector<std::string> &roots) {
  std::string command = "find";
  for (const std::string &root : roots)
    // Appended, since g++ 12 at -O2 warns falsely (-Wrestrict) about " " + std::string.
    command.append(" ").append(shellQuote(root));
  std::int64_t freed = 0;
  std::istringstream folders(runCommand(command + " -type d -printf '%b\\n'"));
  for (std::int64_t blocks; folders >> blocks;)
    freed += blocks * 512;
  std::istringstream lines(runCommand(command + " ! -type d ! -type l -printf '%D %i %n %b\\n'"));
  struct File {
    std::int64_t links, blocks, names = 0;
  };
  std::map<std::string, File> files;
  std::string device, inode;
  std::int64_t links, blocks;
  while (lines >> device >> inode >> links >> blocks)
    ++files.try_emplace(device + ":" + inode, File{links, blocks}).first->second.names;
  for (const auto &[key, file] : files)
    if (file.names >= file.links)
      freed += file.blocks * 512;
  return freed;
}

std::vector<std::string> names(const std::vector<CleanableItem> &items) {
  std::vector<std::string> result;
  for (const CleanableItem &item : items)
    result.push_back(item.name);
  return result;
}

const CleanableItem *at(const std::vector<CleanableItem> &items, const std::string &path) {
  const auto found = std::ranges::find(items, path, &CleanableItem::path);
  return found == items.end() ? nullptr : &*found;
}

constexpr const char *derivedData = "Library/Developer/Xcode/DerivedData";

// Each visible entry with a size is an item; when none has one, the whole
// folder, hidden entries included.
TEST(DeveloperCacheScannerTest, EntriesWithSizeBecomeItemsElseTheWholeFolder) {
  const std::string folder = derivedData;
  for (const auto &[file, item, name] : {std::tuple{"/A/Build/data", "/A", "A"},
                                         {"/.cache/data", "", "Xcode DerivedData"}}) {
    SCOPED_TRACE(name);
    TempTree home;
    home.writeFile(folder + file, 100 * 1024);
    home.makeDirectory(folder + "/Empty");
    const auto items = DeveloperCacheScanner(home.root()).scan();
    ASSERT_EQ(items.size(), 1u);
    const std::string path = home.path(folder + item);
    EXPECT_EQ(items[0].name, name);
    EXPECT_EQ(items[0].path, path);
    EXPECT_EQ(items[0].sizeBytes, allocatedBytes(path));
    EXPECT_EQ(items[0].category, xcodeJunk);
    EXPECT_TRUE(items[0].isSelected && items[0].isSafeByDefault);
    EXPECT_EQ(items[0].lastModified, CacheSizeMeasurer::modificationTime(path));
    EXPECT_NE(items[0].id, Uuid());
  }
}

TEST(DeveloperCacheScannerTest, FolderThatCannotBeListedGivesNothing) {
  // Not even the whole-folder item: a file, a link or a locked folder where
  // the folder belongs.
  TempTree elsewhere;
  elsewhere.writeFile("Project/data", 8192);
  for (std::string_view kind : {"file", "link", "locked"}) {
    TempTree home;
    if (kind == "file") {
      home.writeFile(derivedData, 8192);
    } else if (kind == "link") {
      home.makeSymlink(derivedData, elsewhere.root());
    } else {
      home.writeFile(std::string(derivedData) + "/A/data", 8192);
      ASSERT_EQ(::chmod(home.path(derivedData).c_str(), 0), 0);
    }
    const ScopedNoDacOverride asAnyone;
    EXPECT_TRUE(DeveloperCacheScanner(home.root()).scan().empty()) << kind;
  }
}

TEST(DeveloperCacheScannerTest, ArchivesAreOfferedUnselectedAndUnsafe) {
  TempTree home;
  home.writeFile("Library/Developer/Xcode/Archives/2024-05-01/Small.xcarchive/Info.plist", 4096);
  home.writeFile("Library/Developer/Xcode/Archives/2024-06-01/Big.xcarchive/Products/app", 40960);
  const auto items = DeveloperCacheScanner(home.root()).scan();
  EXPECT_EQ(names(items), (std::vector<std::string>{"2024-06-01", "2024-05-01"}));
  for (const CleanableItem &item : items)
    EXPECT_FALSE(item.isSelected || item.isSafeByDefault) << item.name;
}

TEST(CacheCatalogueTest, WholeFolderRows) {
  struct Row {
    const char *location;
    CleanableCategory category;
    bool selectedAndSafe;
  };
  const Row rows[] = {
      // One of each scanner's kinds, and one that is offered unticked.
      {".cache/go-build", brewAndPackages, true}, {".cache/huggingface/hub", aiModelsAndLogs, false},
      {"Movies/.gallery", creatorCaches, true}, {".cache/chromium", browserBloat, true},
  };
  TempTree home;
  std::size_t size = 4096;
  for (const Row &row : rows)
    home.writeFile(std::string(row.location) + "/sub/entry", size += 4096);
  home.makeSparseFile(".npm/_cacache", 3 << 20); // a location that is a file counts its length
  const auto items = CacheCatalogue::scan(home.root());
  ASSERT_EQ(items.size(), std::size(rows) + 1);
  for (const Row &row : rows) {
    const CleanableItem *item = at(items, home.path(row.location));
    ASSERT_NE(item, nullptr) << row.location;
    EXPECT_EQ(item->sizeBytes, allocatedBytes(item->path)) << row.location;
    EXPECT_EQ(item->category, row.category) << row.location;
    EXPECT_EQ(item->isSelected, row.selectedAndSafe) << row.location;
    EXPECT_EQ(item->isSafeByDefault, row.selectedAndSafe) << row.location;
  }
  const CleanableItem *npm = at(items, home.path(".npm/_cacache"));
  ASSERT_NE(npm, nullptr);
  EXPECT_EQ(npm->sizeBytes, 3 << 20);
  std::set<std::string> ids;
  for (const CleanableItem &item : items)
    ids.insert(item.id.toString());
  EXPECT_EQ(ids.size(), items.size());
}

TEST(CacheCatalogueTest, HardLinkedFilesCountOnceWhereCleaningFreesThemUnlessStopped) {
  TempTree home;
  for (const auto &[file, bytes] : {std::pair{".cache/pip/wheel", 400 << 10}, {".cache/go-build/object", 200 << 10},
                                    {".cache/go-build/own", 4096}, {".cache/chromium/own", 12288},
                                    {".cache/yarn/package", 100 << 10}, {".cache/yarn/own", 16384}})
    home.writeFile(file, bytes);
  // Three names in one item. One object in a developer item and in a
  // browser item, which the other thread measures: the browser item comes
  // first, so it counts the object. The other name outside every item
  // keeps the package alive.
  for (const auto &[existing, name] : {std::pair{".cache/pip/wheel", ".cache/pip/http/wheel"},
                                       {".cache/pip/wheel", ".cache/pip/wheel-again"},
                                       {".cache/go-build/object", ".cache/chromium/Default/Cache/object"},
                                       {".cache/yarn/package", "project/node_modules/package"}})
    home.makeHardLink(existing, name);
  struct Row {
    std::string location;
    std::vector<std::string> countedFiles;
  };
  const Row catalogueOrder[] = {
      {".cache/pip", {"wheel"}}, {".cache/chromium", {"own", "Default/Cache/object"}}, {".cache/yarn", {"own"}},
      {".cache/go-build", {"own"}},
  };
  std::stop_source stop; // a stopped token throws before measuring, in each scanner
  stop.request_stop();
  EXPECT_THROW(DeveloperCacheScanner(home.root()).scan(stop.get_token()), ScanCancelledError);
  EXPECT_THROW(CreatorCacheScanner(home.root()).scan(stop.get_token()), ScanCancelledError);
  EXPECT_THROW(CacheCatalogue::scan(home.root(), stop.get_token()), ScanCancelledError);
  const auto items = CacheCatalogue::scan(home.root());
  ASSERT_EQ(items.size(), std::size(catalogueOrder));
  std::vector<std::string> roots;
  std::int64_t listed = 0;
  for (std::size_t i = 0; i < items.size(); ++i) {
    const Row &row = catalogueOrder[i];
    std::int64_t expected = findTotals(home.path(row.location)).folderBytes;
    for (const std::string &file : row.countedFiles)
      expected += allocatedBytes(home.path(row.location + "/" + file));
    EXPECT_EQ(items[i].path, home.path(row.location));
    EXPECT_EQ(items[i].sizeBytes, expected) << row.location;
    roots.push_back(items[i].path);
    listed += items[i].sizeBytes;
  }
  EXPECT_EQ(listed, freedByFind(roots));
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
  for (const auto &[file, bytes] : {std::pair{".cache/yarn/Tool.app/Contents/large", 1 << 20},
                                    {".cache/yarn/small", 8192}, {".cache/pnpm/Only.framework/large", 1 << 20}})
    home.writeFile(file, bytes);
  const auto items = DeveloperCacheScanner(home.root()).scan();
  ASSERT_EQ(names(items), (std::vector<std::string>{"Yarn Cache (XDG)", "Go Build Cache"}));
  EXPECT_EQ(items[0].sizeBytes, allocatedBytes(home.path(".cache/yarn/small")) + ownBytes(home.path(".cache/yarn")));
  EXPECT_EQ(items[1].sizeBytes, allocatedBytes(home.path(".cache/go-build")));
}

TEST(CreatorCacheScannerTest, ProtectedNamesInAnyCase) {
  struct Case {
    const char *name;
    bool isProtected;
  };
  const Case cases[] = {
      {"LOGIN DATA", true},      {"Default/History", true},        {"History/", true},
      {"History-journal", true}, {"formhistory.sqlite-WAL", true}, {"places.sqlite.corrupt", true},
      {"Cookies.old", false},    {"cookie", false},                {"cookies.sqlite-bak", false},
      {"-wal", false},           {"", false},
  };
  for (const Case &c : cases)
    EXPECT_EQ(CreatorCacheScanner::isProtectedSessionName(c.name), c.isProtected) << c.name;
}

TEST(CreatorCacheScannerTest, SessionEntriesAddNothingAndCleaningKeepsThem) {
  TempTree home;
  const std::string base = ".cache/google-chrome/Default";
  for (const char *session : {"/Cookies", "/HISTORY", "/Login Data"})
    home.writeFile(base + session, 65536);
  home.writeFile(base + "/Local Storage/leveldb/000003.log", 8192); // kept whole, so not counted
  home.writeFile(base + "/Cache/Cache_Data/f_000001", 16384);
  home.writeFile(".cache/pip/wheel", 4096);
  const auto items = CacheCatalogue::scan(home.root());
  ASSERT_EQ(items.size(), 2u);
  const CleanableItem &browser = items[0];
  // Only the folders that go free their blocks: not those holding a kept entry.
  EXPECT_EQ(browser.sizeBytes, allocatedBytes(home.path(base + "/Cache")));
  for (const char *name : {"cookies", "login data", "history"})
    EXPECT_EQ(std::ranges::count(browser.keptEntryNames, name), 1) << name;
  EXPECT_EQ(items[1].path, home.path(".cache/pip"));
  EXPECT_TRUE(items[1].keptEntryNames.empty());
}

TEST(CreatorCacheScannerTest, ChromiumProfilesOfferOnlyTheirSubCaches) {
  TempTree home;
  const std::string chrome = "Library/Application Support/Google/Chrome/Default";
  for (const auto &[file, bytes] : {std::pair{"/Service Worker/CacheStorage/site/entry", 20480},
                                    {"/GPUCache/data_1", 16384}, {"/Code Cache/js/index", 12288},
                                    {"/Other/large", 1 << 20}, {"/Preferences", 4096}})
    home.writeFile(chrome + file, bytes);
  home.writeFile("Library/Application Support/BraveSoftware/Brave-Browser/Default/Code Cache/wasm/a", 4096);
  const auto items = CreatorCacheScanner(home.root()).scan();
  ASSERT_EQ(names(items), (std::vector<std::string>{"Google Chrome Service Worker Cache",
                                                    "Google Chrome GPU Shader Cache", "Google Chrome V8 Code Cache",
                                                    "Brave Browser V8 Code Cache"}));
  EXPECT_EQ(items[1].path, home.path(chrome + "/GPUCache"));
  EXPECT_EQ(items[1].category, browserBloat);
}

TEST(CreatorCacheScannerTest, FinalCutLibrariesAtTheTopOfMoviesOnly) {
  TempTree home;
  home.writeFile("Movies/Trip.fcpbundle/Render Files/r", 40960);
  home.writeFile("Movies/Trip.fcpbundle/Analysis Files/a", 20480);
  for (const char *library : {"SHOUT.FCPBUNDLE", "Projects/Deep.fcpbundle", ".Hidden.fcpbundle"})
    home.writeFile(std::string("Movies/") + library + "/Render Files/r", 8192);
  home.makeSymlink("Movies/Linked.fcpbundle", "Trip.fcpbundle");
  const auto items = CreatorCacheScanner(home.root()).scan();
  ASSERT_EQ(names(items), (std::vector<std::string>{"Trip Render Files", "Trip Analysis Files", "SHOUT Render Files"}));
  EXPECT_EQ(items[2].path, home.path("Movies/SHOUT.FCPBUNDLE/Render Files"));
}

TEST(CacheCatalogueTest, EqualSizesKeepDeveloperThenGroupThenTableOrder) {
  // Locations of every developer group in catalogue order, then creator
  // ones, all of one size behind one larger item. Created in reverse, so
  // creation order cannot help.
  const std::vector<std::string> developerOrder = {
      "Library/Caches/com.apple.dt.Xcode", "Library/Caches/Homebrew", ".npm/_cacache", ".cache/pip", ".cache/go-build",
      ".docker/buildx/cache", ".ollama/logs", ".cache/huggingface/hub"};
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
  expected.insert(expected.end(), creatorOrder.begin(), creatorOrder.end());
  EXPECT_EQ(relativePaths(CacheCatalogue::scan(home.root())), expected);
}

// A mounted disk or share below home holds other people's projects, or the
// same ones again: the walk stays on the file system of the roots.
TEST(ProjectArtefactFinderTest, NoOtherFileSystemIsEntered) {
  TempTree home;
  home.writeFile("code/app/package.json", 10);
  home.writeFile("code/app/node_modules/x/index.js", 100);
  home.makeDirectory("code/mounted");
  const ScopedMount mount = ScopedMount::tmpfs(home.path("code/mounted"));
  if (!mount.mounted())
    GTEST_SKIP() << "mounting a tmpfs needs root";
  home.writeFile("code/mounted/web/package.json", 10);
  home.writeFile("code/mounted/web/node_modules/y/index.js", 100);

  std::vector<std::string> found;
  for (const FoundArtefact &artefact : ProjectArtefactFinder(home.root(), {home.root()}).find())
    found.push_back(artefact.path);
  EXPECT_EQ(found, std::vector<std::string>{home.path("code/app/node_modules")});
}

} // namespace
} // namespace tarnwick
