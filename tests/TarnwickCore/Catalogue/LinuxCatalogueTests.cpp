// The catalogue over a home folder laid out as on Linux: every row in its
// category with its tick and its size, nothing listed twice, nothing
// protected offered, and the Trash as one item.
#include "LinuxFakeHome.h"
#include "TarnwickCore/Catalogue/CacheCatalogue.h"
#include "TarnwickCore/Deletion/TrashBinItem.h"
#include "TestSupport/ScopedVariable.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <optional>
#include <unistd.h>

namespace tarnwick {
namespace {

using quillane::test::findTotals;
using quillane::test::LinuxFakeHome;
using quillane::test::setVariable;

bool isAtOrBelow(const std::string &path, const std::string &folder) {
  return path == folder || path.starts_with(folder + "/");
}

// Sandboxed applications are named by their id.
TEST(LinuxCatalogueTest, EveryRowOnceInItsCategoryWithItsTickSizeAndName) {
  const LinuxFakeHome home;
  const std::vector<CleanableItem> items = CacheCatalogue::scan(home.root());
  std::map<std::string, const CleanableItem *> byPath;
  for (const CleanableItem &item : items)
    EXPECT_TRUE(byPath.emplace(item.path, &item).second) << "listed twice: " << item.path;
  for (const auto &row : home.rows()) {
    SCOPED_TRACE(row.path);
    const auto found = byPath.find(home.path(row.path));
    ASSERT_NE(found, byPath.end());
    const CleanableItem &item = *found->second;
    EXPECT_EQ(item.category, row.category);
    EXPECT_EQ(item.isSelected, row.ticked);
    // Nothing in the fixture is hard-linked, so find's total of files and
    // folders is what goes; a location that is a file counts its length, as
    // a listing shows it.
    const quillane::test::FindTotals totals = findTotals(item.path);
    EXPECT_EQ(item.sizeBytes, std::filesystem::is_directory(item.path)
                                  ? totals.bytes + totals.folderBytes
                                  : std::int64_t(std::filesystem::file_size(item.path)));
    byPath.erase(found);
  }
  for (const auto &[path, id] : {std::pair{".var/app/org.gimp.GIMP/cache", "org.gimp.GIMP"},
                                 {"snap/firefox/common/.cache", "firefox"}, {"snap/firefox/4539/.cache", "firefox"},
                                 {".cache/mozilla/extensions", "mozilla/extensions"}})
    EXPECT_EQ(std::ranges::find(items, home.path(path), &CleanableItem::path)->name, id) << path;
  for (const auto &[path, item] : byPath)
    ADD_FAILURE() << "not a row of the fixture: " << path << " (" << item->name << ")";
  for (const CleanableItem &outer : items)
    for (const CleanableItem &inner : items)
      EXPECT_TRUE(&outer == &inner || !isAtOrBelow(inner.path, outer.path)) << inner.path << " inside " << outer.path;
  for (const std::string &file : home.protectedFiles())
    for (const CleanableItem &item : items)
      EXPECT_FALSE(quillane::test::isTakenBy(item, home.path(file))) << item.path << " would take " << file;
}

TEST(LinuxCatalogueTest, TheCacheRowsLookWhereXdgCacheHomePutsTheCache) {
  const LinuxFakeHome home;
  std::filesystem::rename(home.path(".cache"), home.path("xdg-cache"));
  const auto user = setVariable("HOME", home.root().c_str());
  std::set<std::string> moved;
  for (const auto &row : home.rows())
    if (row.path.starts_with(".cache/"))
      moved.insert(home.path("xdg-cache" + row.path.substr(6)));
  ASSERT_GT(moved.size(), 20u);
  // A relative setting is ignored, as the XDG rules say: ~/.cache is empty.
  for (const std::string &setting : {home.path("xdg-cache"), std::string("xdg-cache")}) {
    const auto cache = setVariable("XDG_CACHE_HOME", setting.c_str());
    std::set<std::string> found;
    for (const CleanableItem &item : CacheCatalogue::scan(home.root()))
      if (moved.contains(item.path))
        found.insert(item.path);
    EXPECT_EQ(found, setting.starts_with('/') ? moved : std::set<std::string>{}) << setting;
  }
}

TEST(LinuxCatalogueTest, TheTrashIsOneUntickedItemThatEmptiesAsTheTrashViewDoes) {
  const LinuxFakeHome home;
  const TrashCatalogue trash(home.trash(), ::geteuid());
  const TrashListing listing = trash.list();
  const std::optional<CleanableItem> bin = TrashBinItem::measure(trash);
  ASSERT_TRUE(bin);
  EXPECT_EQ(bin->path, home.trash());
  EXPECT_EQ(bin->category, CleanableCategory::trashBins);
  EXPECT_FALSE(bin->isSelected || bin->isSafeByDefault);
  EXPECT_EQ(bin->sizeBytes, listing.totalBytes());
  EXPECT_TRUE(TrashBinItem::isTrashBin(*bin, trash));

  // Merged with the caches by size.
  std::vector<CleanableItem> items = TrashBinItem::withTrashBin(CacheCatalogue::scan(home.root()), trash);
  EXPECT_TRUE(std::ranges::is_sorted(items, std::greater<>(), &CleanableItem::sizeBytes));
  EXPECT_EQ(std::ranges::count(items, CleanableCategory::trashBins, &CleanableItem::category), 1);

  if (listing.items.size() != 1)
    GTEST_SKIP() << "a mounted drive's Trash holds items: emptying would remove them too";
  EXPECT_EQ(bin->sizeBytes, findTotals(home.trash() + "/files").bytes);
  SafeCleaningReport report;
  TrashBinItem::empty(trash, *bin, report);
  EXPECT_EQ(report.cleanedPaths, std::vector<std::string>{home.trash()});
  EXPECT_EQ(report.freedBytes, bin->sizeBytes);
  EXPECT_TRUE(report.errors.empty());
  EXPECT_TRUE(std::filesystem::is_empty(home.trash() + "/files"));
  EXPECT_TRUE(std::filesystem::is_empty(home.trash() + "/info"));
  EXPECT_FALSE(TrashBinItem::measure(trash)) << "an empty Trash is no item";
}

} // namespace
} // namespace tarnwick
