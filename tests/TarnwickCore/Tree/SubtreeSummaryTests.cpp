// The largest files and the usage by file type below a folder, checked
// against what find reports of the same tree.
#include "TarnwickCore/Scan/FastBulkScanner.h"
#include "TarnwickCore/Tree/ArenaEdit.h"
#include "TarnwickCore/Tree/FileTypeUsage.h"
#include "TarnwickCore/Tree/LargestFiles.h"
#include "TestSupport/TempTree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <map>
#include <sstream>

namespace tarnwick {
namespace {

using quillane::test::runCommand;
using quillane::test::shellQuote;
using quillane::test::TempTree;

// Every file below `folder` with its allocated bytes, largest first (paths
// break ties), as find reports them, empty ones included.
std::vector<std::pair<std::int64_t, std::string>> filesByFind(const std::string &folder) {
  std::istringstream lines(runCommand("find " + shellQuote(folder) + " -type f -printf '%b %p\\n'"));
  std::vector<std::pair<std::int64_t, std::string>> files;
  std::int64_t blocks = 0;
  std::string path;
  while (lines >> blocks && std::getline(lines >> std::ws, path))
    files.emplace_back(blocks * 512, path);
  std::ranges::sort(files, [](const auto &a, const auto &b) {
    return a.first != b.first ? a.first > b.first : a.second < b.second;
  });
  return files;
}

class SubtreeSummaryTest : public ::testing::Test {
protected:
  void SetUp() override {
    // Distinct sizes, so the order of the largest is not a matter of ties.
    const char *names[] = {"a/photo.JPG", "a/clip.mp4",   "a/b/old.tar.gz", "a/b/plain.gz", "a/b/notes.txt",
                           "c/x.jpg",     "c/.bashrc",    "c/Makefile",     "c/d/e/deep.MP4", "top.txt",
                           // Alone together, so they are met one after the other.
                           "t/x.tar.gz", "t/y.gz"};
    std::size_t bytes = 9000;
    for (const char *name : names)
      tree.writeFile(name, bytes += 9000);
    tree.writeFile("c/empty.jpg", 0);
    // Deeper, so the first name carries the bytes.
    tree.makeHardLink("a/clip.mp4", "c/d/clip-again.mp4");
    arena = FastBulkScanner().scan(tree.root());
  }
  NodeID idOf(const std::string &relative) const { return *findNodeByPath(arena, tree.path(relative)); }

  TempTree tree;
  DiskTreeArena arena;
};

TEST_F(SubtreeSummaryTest, LargestFilesAreFindsFilesLargestFirstEachInodeOnce) {
  for (const std::string folder : {"", "a", "c", "c/d", "top.txt"}) {
    const std::string path = folder.empty() ? tree.root() : tree.path(folder);
    auto expected = filesByFind(path);
    // Nor empty files nor the second name of the linked file, which carries nothing.
    std::erase_if(expected, [](const auto &file) { return file.first == 0 || file.second.ends_with("/clip-again.mp4"); });
    for (std::size_t count : {std::size_t(1), std::size_t(3), std::size_t(1000)}) {
      const NodeID top = folder.empty() ? DiskTreeArena::rootID : idOf(folder);
      std::vector<std::pair<std::int64_t, std::string>> found;
      for (NodeID id : largestFiles(arena, top, count))
        found.emplace_back(arena.record(id).allocatedSize, arena.path(id));
      const auto wanted = std::vector(expected.begin(), expected.begin() + std::min(count, expected.size()));
      EXPECT_EQ(found, wanted) << folder << " top " << count;
    }
  }
  EXPECT_TRUE(largestFiles(arena, DiskTreeArena::rootID, 0).empty());
  EXPECT_TRUE(largestFiles(arena, -1, 5).empty());
}

TEST_F(SubtreeSummaryTest, TypesSumFindsFilesByExtension) {
  // The type each file of the fixture belongs to, written out by hand.
  const std::map<std::string, std::string> typeOf = {
      {"photo.JPG", "jpg"}, {"clip.mp4", "mp4"}, {"old.tar.gz", "tar.gz"}, {"plain.gz", "gz"}, {"notes.txt", "txt"},
      {"x.jpg", "jpg"}, {".bashrc", ""}, {"Makefile", ""}, {"deep.MP4", "mp4"}, {"top.txt", "txt"},
      {"empty.jpg", "jpg"}, {"clip-again.mp4", "mp4"}, {"x.tar.gz", "tar.gz"}, {"y.gz", "gz"}};
  for (const std::string folder : {"", "a/b", "c", "t"}) {
    const std::string path = folder.empty() ? tree.root() : tree.path(folder);
    std::map<std::string, std::pair<std::int64_t, std::int64_t>> expected; // type -> bytes, files
    for (const auto &[bytes, file] : filesByFind(path)) {
      const std::string name = file.substr(file.rfind('/') + 1);
      auto &[sum, files] = expected[typeOf.at(name)];
      sum += name == "clip-again.mp4" ? 0 : bytes;
      ++files;
    }
    std::map<std::string, std::pair<std::int64_t, std::int64_t>> found;
    std::int64_t previous = INT64_MAX;
    for (const FileTypeUsage &usage : fileTypeUsage(arena, folder.empty() ? DiskTreeArena::rootID : idOf(folder))) {
      EXPECT_LE(usage.allocatedSize, previous) << "largest first";
      previous = usage.allocatedSize;
      found[usage.type] = {usage.allocatedSize, usage.fileCount};
    }
    EXPECT_EQ(found, expected) << folder;
  }
}

TEST(FileTypeTest, ExtensionsThatNameATypeAndNamesThatHaveNone) {
  const std::pair<const char *, const char *> cases[] = {
      {"a.JPG", "jpg"},        {"a.b.c", "c"},          {"x.tar.gz", "tar.gz"}, {"X.TAR.XZ", "tar.xz"},
      {".tar.gz", "gz"},       {"a.c++", "c++"},        {".bashrc", ""},        {"trailing.", ""},
      {"Makefile", ""},        {"notes.2024 final", ""}, {"f.0123456789abcdef", ""}, {"ünï.cöde", ""},
      {"lib.so.6", "6"}};
  for (const auto &[name, type] : cases)
    EXPECT_EQ(fileTypeOf(name), type) << name;
}

} // namespace
} // namespace tarnwick
