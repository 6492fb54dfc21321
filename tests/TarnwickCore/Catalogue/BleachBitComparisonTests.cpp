// The catalogue against BleachBit, the cleaner Linux users know, on the
// same fake home: its cache cleaners' preview must find nothing that the
// catalogue misses, and what it classes as history, cookies or passwords
// must never be offered. BleachBit's preview only lists; it changes nothing
// but its own settings file in the home folder it is given.
#include "LinuxFakeHome.h"
#include "TarnwickCore/Catalogue/CacheCatalogue.h"
#include "TarnwickCore/Deletion/DeletionGuard.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <iostream>
#include <set>
#include <sstream>
#include <sys/stat.h>

namespace tarnwick {
namespace {

using quillane::test::isTakenBy;
using quillane::test::LinuxFakeHome;
using quillane::test::runCommand;
using quillane::test::shellQuote;

std::string bleachBit(const LinuxFakeHome &home, const std::string &arguments) {
  // A bare environment: no XDG variable of the caller may lead it elsewhere.
  return runCommand("env -i HOME=" + shellQuote(home.root()) + " PATH=/usr/bin:/bin LANG=C.UTF-8 bleachbit " +
                    arguments + " 2>/dev/null");
}

// The cleaners whose option id ends with one of `options` ("cache", …).
std::string cleanersFor(const LinuxFakeHome &home, const std::vector<std::string> &options) {
  std::istringstream lines(bleachBit(home, "--list-cleaners"));
  std::string chosen;
  for (std::string cleaner; std::getline(lines, cleaner);) {
    std::string option = cleaner.substr(cleaner.find('.') + 1);
    std::ranges::transform(option, option.begin(), [](unsigned char c) { return std::tolower(c); });
    for (const std::string &wanted : options)
      if (option.ends_with(wanted))
        chosen += " " + cleaner;
  }
  return chosen;
}

// The files (not folders) below the home that a preview would delete, and
// also those it would rewrite when `withRewrites` is set.
std::set<std::string> previewedFiles(const LinuxFakeHome &home, const std::string &cleaners, bool withRewrites) {
  std::istringstream lines(bleachBit(home, "--preview" + cleaners));
  std::set<std::string> files;
  for (std::string line; std::getline(lines, line);) {
    const auto at = line.find(' ' + home.root() + '/');
    struct stat st {};
    if ((line.starts_with("Delete ") || (withRewrites && line.starts_with("Clean file "))) && at != std::string::npos &&
        ::lstat(line.substr(at + 1).c_str(), &st) == 0 && !S_ISDIR(st.st_mode))
      files.insert(line.substr(at + 1));
  }
  return files;
}

std::int64_t allocated(const std::string &path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 ? std::int64_t(st.st_blocks) * 512 : 0;
}

// Whether the deletion guard refuses `path` even when the user names it:
// session state, keys and tokens that the catalogue keeps on purpose.
bool isGuarded(const std::string &path, const std::string &home) {
  try {
    DeletionGuard::validateDeletionCandidate(path, home, true);
    return false;
  } catch (const DeletionGuardError &refusal) {
    return refusal.kind() == DeletionGuardError::Kind::blockedProtectedPath;
  }
}

// The item that cleaning would take `path` with; nothing when none would.
const CleanableItem *takenBy(const std::vector<CleanableItem> &items, const std::string &path) {
  const auto taking = std::ranges::find_if(items, [&](const CleanableItem &item) { return isTakenBy(item, path); });
  return taking == items.end() ? nullptr : &*taking;
}

class BleachBitComparisonTest : public ::testing::Test {
protected:
  void SetUp() override {
    if (runCommand("command -v bleachbit").empty())
      GTEST_SKIP() << "BleachBit is not installed (Debian package bleachbit): nothing to compare with";
  }
  LinuxFakeHome home;
};

TEST_F(BleachBitComparisonTest, TheCatalogueFindsWhatItsCacheCleanersFind) {
  const std::string cleaners = cleanersFor(home, {"cache"});
  ASSERT_NE(cleaners.find(" system.cache"), std::string::npos) << cleaners;
  const std::set<std::string> files = previewedFiles(home, cleaners, false);
  const std::vector<CleanableItem> items = CacheCatalogue::scan(home.root());
  std::int64_t previewed = 0, covered = 0, guarded = 0, kept = 0, catalogued = 0;
  const auto keptOnPurpose = [&](const std::string &file) {
    return file == home.path(".cache/CACHEDIR.TAG") ||
           std::ranges::any_of(LinuxFakeHome::cacheEntriesNotOffered(),
                               [&](const std::string &entry) { return file.starts_with(home.path(entry) + "/"); });
  };
  for (const std::string &file : files) {
    previewed += allocated(file);
    if (takenBy(items, file))
      covered += allocated(file);
    else if (isGuarded(file, home.root()))
      guarded += allocated(file);
    else if (keptOnPurpose(file))
      kept += allocated(file);
    else
      ADD_FAILURE() << "BleachBit would clean what the catalogue misses: " << file;
  }
  for (const CleanableItem &item : items)
    catalogued += item.sizeBytes;
  std::cout << "BleachBit cache cleaners previewed " << files.size() << " files, " << previewed
            << " bytes; the catalogue offers " << covered << " bytes of them, the guard keeps " << guarded
            << " bytes (session state, tokens); the catalogue offers " << catalogued << " bytes in "
            << items.size() << " items\n";
  EXPECT_GT(files.size(), 20u) << "BleachBit recognised too little of the fixture to compare";
  EXPECT_EQ(covered + guarded + kept, previewed);
  EXPECT_GE(catalogued, previewed);
}

TEST_F(BleachBitComparisonTest, NothingItCallsHistoryCookiesOrPasswordsIsOffered) {
  const std::set<std::string> files = previewedFiles(home, cleanersFor(home, {"history", "cookies", "passwords"}), true);
  EXPECT_GE(files.size(), 5u) << "BleachBit recognised too little of the fixture to compare";
  const std::vector<CleanableItem> items = CacheCatalogue::scan(home.root());
  for (const std::string &file : files)
    if (const CleanableItem *item = takenBy(items, file))
      ADD_FAILURE() << item->path << " would take " << file;
}

} // namespace
} // namespace tarnwick
