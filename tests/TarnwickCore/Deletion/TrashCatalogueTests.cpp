// The Trash as a listing: checked against trash-cli (which trashes, lists
// and restores the same folders), du for sizes, and hostile layouts that
// must never cost a file outside the Trash or be overwritten on restore.
#include "TarnwickCore/Deletion/FreedesktopTrash.h"
#include "TarnwickCore/Deletion/TrashCatalogue.h"
#include "TarnwickCore/Deletion/ScratchTrash.h"
#include "TarnwickCore/Deletion/TrashInfoText.h"
#include "TestSupport/ScopedMount.h"
#include "TestSupport/TempTree.h"
#include "TestSupport/TrashClient.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <unistd.h>

namespace tarnwick {
namespace {

using namespace quillane::test;
namespace fs = std::filesystem;

// Every entry below `root` with its device and inode: what must not change.
std::string fileIdentities(const std::string &root) {
  return runCommand("find " + shellQuote(root) + " -printf '%D %i %p\\n' | sort");
}

TEST(TrashInfoText, ReadsRecordsAsTrashClientsWriteThem) {
  struct Case {
    const char *text;
    const char *path; // nullptr: refused
    const char *date;
  } cases[] = {
      {"[Trash Info]\nPath=/home/u/a%20b%25\nDeletionDate=2024-03-05T14:07:59\n", "/home/u/a b%", "2024-03-05T14:07:59"},
      {"# note\r\n[Trash Info]\r\nPath = sub/caf%C3%A9%0A\r\nDeletionDate = 2024-03-05T14:07:59\r\n", "sub/café\n",
       "2024-03-05T14:07:59"},
      {"[Trash Info]\nPath=/a\n[Other]\nPath=/b\n", "/a", ""},
      {"[Trash Info]\nPath[fr]=/fr\nPath=/a\nDeletionDate=2024-13-01T00:00:00\n", "/a", ""},
      {"[Trash Info]\nDeletionDate=yesterday\nPath=/a", "/a", ""}, {"[Trash Info]\nPath=/a\nPath=/b\n", nullptr, ""},
      {"Path=/a\n[Trash Info]\nPath=/b\n", nullptr, ""}, {"[Trash Info]\nPath=/a%2\n", nullptr, ""},
      {"[Trash Info]\nPath=/a%zz\n", nullptr, ""}, {"[Trash Info]\nPath=/a%00b\n", nullptr, ""},
      {"[Trash Info]\nPath=\n", nullptr, ""}, {"[Trash Info]\nDeletionDate=2024-03-05T14:07:59\n", nullptr, ""},
      {"[Trash Info]\njunk\nPath=/a\n", nullptr, ""},
  };
  for (const Case &c : cases) {
    const Result<TrashInfoText> text = TrashInfoText::parse(c.text);
    ASSERT_EQ(text.ok(), c.path != nullptr) << c.text;
    if (text) {
      EXPECT_EQ(text->path, c.path);
      EXPECT_EQ(text->deletionDate, c.date) << c.text;
    }
  }
  EXPECT_EQ((TrashInfoText{"sub/x", ""}.originalPath("/media/disk")), "/media/disk/sub/x");
  EXPECT_EQ((TrashInfoText{"sub/x", ""}.originalPath("/")), "/sub/x");
}

class TrashCatalogueTest : public ::testing::Test {
protected:
  void SetUp() override {
    if (runCommand("command -v trash-put trash-list").empty())
      GTEST_SKIP() << "trash-cli is not installed";
  }
  std::string client(const std::string &command) const {
    return runAtHome(home.root(), home.path(".local/share"), command + " 2>&1");
  }
  auto clientListing(const std::string &root) const {
    return trashCliItems(home.root(), home.path(".local/share"), root);
  }
  TrashListing scratchListing(const std::string &root) const { return tarnwick::scratchListing(catalogue, root); }
  std::string trash() const { return home.path(".local/share/Trash"); }

  TempTree home;
  TrashCatalogue catalogue{home.path(".local/share/Trash"), ::geteuid()};
};

TEST_F(TrashCatalogueTest, ListsWhatTrashCliAndQuillaneTrashedAsTheyDo) {
  for (const auto &[file, bytes] : {std::pair{"a.txt", 5000}, {"dir one/b", 70000}, {"50% off", 10}, {"twice", 10}})
    home.writeFile(file, bytes);
  home.makeHardLink("dir one/b", "dir one/b again");
  home.makeSymlink("dir one/link", "/");
  client("trash-put a.txt 'dir one' '50% off' twice && echo again > twice && trash-put twice");
  home.writeFile("ours/q.bin", 9000);
  ASSERT_TRUE(FreedesktopTrash(home.root(), home.path(".local/share")).moveToTrash(home.path("ours/q.bin")));
  const TrashListing listing = scratchListing(home.root());
  ASSERT_EQ(listing.items.size(), 6u);
  EXPECT_EQ(restorableItems(listing), clientListing(home.root()));
  std::int64_t sum = 0;
  for (const TrashedItem &item : listing.items) {
    EXPECT_TRUE(item.sizeComplete) << item.name;
    EXPECT_EQ(std::to_string(item.sizeBytes) + "\t" + item.entryPath() + "\n",
              runCommand("du -s -x -B1 " + shellQuote(item.entryPath())));
    sum += item.sizeBytes;
  }
  EXPECT_EQ(scratchListing(home.root()).totalBytes(), sum);
  // GLib's client, where its Trash back end is installed.
  const std::string gio = client("timeout 20 dbus-run-session -- gio trash --list");
  if (contains(gio, "trash:///")) {
    for (const TrashedItem &item : listing.items)
      EXPECT_TRUE(contains(gio, "\t" + item.originalPath + "\n")) << item.originalPath << "\n" << gio;
  }
}

// One item trashed by trash-cli from $P/$I, then the layout changed
// before it is restored.
TEST_F(TrashCatalogueTest, RestoresOnlyTheListedItemAndNeverReplacesOrFollowsLinks) {
  const struct Case {
    const char *change; // run in the home after listing
    bool restored;
    bool needsRoot = false;
  } cases[] = {
      {"true", true},
      {"rm -r $P", false},                        // its folder is gone
      {"mv $P real$I && ln -s real$I $P", false}, // a link where its folder was
      {"echo other > $P/$I", false},              // another file took its name
      {"mkdir $P/$I", false},                     // so did an empty folder
      {"mv $T/files/$I held$I && echo x > $T/files/$I", false}, // swapped in the Trash
      {"sed -i 's|^Path=.*|Path=/tmp/elsewhere|' $T/info/$I.trashinfo", false},
      {"rm -r $P && mkdir -m 777 $P && chown nobody $P", false, true}, // made again, by another user
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(cases[i].change);
    if (cases[i].needsRoot && ::geteuid() != 0)
      continue; // giving a folder away needs root
    const std::string place = "p" + std::to_string(i), name = "i" + std::to_string(i), original = place + "/" + name;
    home.writeFile(original, 100);
    client("trash-put " + original);
    TrashListing listing = scratchListing(home.root());
    std::erase_if(listing.items, [&](const TrashedItem &item) { return item.name != name; });
    ASSERT_EQ(listing.items.size(), 1u);
    client("export P=" + place + " I=" + name + " T=.local/share/Trash; " + cases[i].change);
    const std::string before = fileIdentities(home.root());
    const Result<std::string> back = catalogue.restore(listing.items.front());
    EXPECT_EQ(back.ok(), cases[i].restored) << (back ? *back : back.failure().message());
    if (back) {
      EXPECT_EQ(readFile(home.path(original)).size(), 100u);
      EXPECT_FALSE(contains(client("trash-list"), home.path(original)));
      EXPECT_FALSE(fs::exists(trash() + "/info/" + name + ".trashinfo"));
    } else {
      EXPECT_EQ(fileIdentities(home.root()), before);
      EXPECT_TRUE(contains(back.failure().message(), home.path(original))) << back.failure().message();
    }
  }
}

TEST_F(TrashCatalogueTest, TheLatestItemOfAPathIsChosen) {
  home.writeFile("notes", 10);
  client("trash-put notes && echo newer > notes && trash-put notes");
  // trash-cli dates to the second: the older one is made older.
  client("cd .local/share/Trash/info && sed -i 's/^DeletionDate=.*/DeletionDate=2001-01-01T00:00:00/' notes.trashinfo");
  const TrashListing listing = scratchListing(home.root());
  const std::optional<TrashedItem> latest = TrashCatalogue::latestWithOriginalPath(listing, home.path("notes"));
  ASSERT_TRUE(latest);
  ASSERT_TRUE(catalogue.restore(*latest));
  EXPECT_EQ(readFile(home.path("notes")), "newer\n");
  EXPECT_FALSE(TrashCatalogue::latestWithOriginalPath(listing, home.path("other")));

  // Trashed within one second, as dates go: the entry moved last wins,
  // though by name "dup_9" comes after "dup_11".
  client("for i in $(seq 12); do echo v$i > dup && trash-put dup; done && "
         "sed -i 's/^DeletionDate=.*/DeletionDate=2002-02-02T00:00:00/' .local/share/Trash/info/dup*.trashinfo");
  const std::optional<TrashedItem> last =
      TrashCatalogue::latestWithOriginalPath(scratchListing(home.root()), home.path("dup"));
  ASSERT_TRUE(last);
  ASSERT_TRUE(catalogue.restore(*last));
  EXPECT_EQ(readFile(home.path("dup")), "v12\n");
}

TEST_F(TrashCatalogueTest, EmptyingRemovesOnlyTheTrashesOwnEntriesAndRecords) {
  TempTree outside;
  for (const char *file : {"file", "folder/kept"})
    outside.writeFile(file, 10);
  const std::string files = trash() + "/files/", info = trash() + "/info/";
  home.writeFile("put/by-client", 100);
  // Hard links: one kept alive by a name outside the Trash, which frees
  // nothing, and a pair both in the Trash, freed once.
  home.writeFile("put/linked", 50'000);
  home.makeHardLink("put/linked", "keep/twin");
  home.writeFile("put/pair-a", 30'000);
  home.makeHardLink("put/pair-a", "put/pair-b");
  client("trash-put put/by-client put/linked put/pair-a put/pair-b");
  home.makeSymlink(".local/share/Trash/files/link", outside.path("file"));
  home.makeSymlink(".local/share/Trash/files/folder/inner-link", outside.path("folder"));
  for (const char *file : {"escape", "unrecorded"})
    home.writeFile(std::string(".local/share/Trash/files/") + file, 10);
  // Records named for "." and ".." have no item: files/ itself is no item.
  for (const char *name : {"link", "folder", "escape", "ghost", ".", ".."})
    std::ofstream(info + name + ".trashinfo") << "[Trash Info]\nPath=" << outside.path("file") << "\n";
  home.makeSymlink(".local/share/Trash/info/pointing.trashinfo", outside.path("folder/kept"));
  home.writeFile(".local/share/Trash/info/.pending-123", 5); // another client's record on its way
  std::optional<ScopedMount> mounted, mountedBelow;
  if (isRoot()) { // a file system mounted inside the Trash is never entered
    home.makeDirectory(".local/share/Trash/files/mnt");
    mounted.emplace(ScopedMount::tmpfs(files + "mnt"));
    ASSERT_TRUE(mounted->mounted());
    runCommand("echo keep > " + shellQuote(files + "mnt/keep"));
    // Removed in part: the big file goes and is freed, the mount stays.
    home.writeFile(".local/share/Trash/files/part/big", 200'000);
    home.makeDirectory(".local/share/Trash/files/part/mnt");
    mountedBelow.emplace(ScopedMount::tmpfs(files + "part/mnt"));
    ASSERT_TRUE(mountedBelow->mounted());
  }
  const std::string outsideBefore = fileIdentities(outside.root());
  const TrashListing listing = scratchListing(home.root());
  const TrashEmptyReport report = catalogue.empty(listing.items);
  EXPECT_EQ(fileIdentities(outside.root()), outsideBefore);
  std::set<std::string> left;
  for (const auto &entry : fs::recursive_directory_iterator(trash()))
    left.insert(entry.path().lexically_relative(trash()).native());
  std::set<std::string> expected{"files", "info", "info/.pending-123"};
  std::int64_t partLeft = 0;
  if (isRoot()) {
    expected.insert({"files/mnt", "files/mnt/keep", "files/part", "files/part/mnt"});
    ASSERT_EQ(report.failures.size(), 2u);
    for (const auto &[path, why] : report.failures)
      EXPECT_TRUE(contains(why, "mount")) << why;
    partLeft = std::stoll(runCommand("du -s -x -B1 " + shellQuote(files + "part")));
  } else {
    EXPECT_EQ(report.failures.size(), 0u);
  }
  EXPECT_EQ(left, expected);
  EXPECT_EQ(report.removedCount, listing.items.size() - report.failures.size());
  std::int64_t freed = 0;
  for (const TrashedItem &item : listing.items)
    freed += item.name == "mnt" || item.name == "linked" || item.name == "pair-b" ? 0
             : item.name == "part"                                                 ? item.sizeBytes - partLeft
                                                                                    : item.sizeBytes;
  EXPECT_EQ(report.freedBytes, freed);
  EXPECT_TRUE(fs::exists(home.path("keep/twin")));
  EXPECT_TRUE(clientListing(home.root()).empty());
}

// A listing may be out of date: what changed since is left alone.
TEST_F(TrashCatalogueTest, EmptyingActsOnlyOnWhatWasListed) {
  for (const char *file : {"a", "b", ".local/share/Trash/info/late.trashinfo"}) // a record without its item, for now
    home.writeFile(file, 10);
  client("trash-put a b");
  const TrashListing listing = scratchListing(home.root());
  ASSERT_EQ(listing.items.size(), 3u);
  home.writeFile("c", 10);
  // The file listed as "a" is kept alive elsewhere, so its inode is not reused.
  client("trash-put c && mv .local/share/Trash/files/a held && echo swapped > .local/share/Trash/files/a && "
         "echo arrived > .local/share/Trash/files/late");
  const TrashEmptyReport report = catalogue.empty(listing.items);
  EXPECT_EQ(report.removedCount, 1u); // b
  EXPECT_EQ(report.failures.size(), 2u);
  for (const char *kept : {"files/a", "info/a.trashinfo", "files/c", "info/c.trashinfo", "files/late",
                           "info/late.trashinfo"})
    EXPECT_TRUE(fs::exists(trash() + "/" + kept)) << kept;
  EXPECT_FALSE(fs::exists(trash() + "/files/b"));
}

// The top directory trashes of another file system, as trash-cli and the
// Trash fill them, and those that must not be used.
TEST_F(TrashCatalogueTest, ListsRestoresAndEmptiesTopDirectoryTrashes) {
  if (!isRoot())
    GTEST_SKIP() << "mounting a scratch file system needs root";
  TempTree top, hostile;
  auto disk = ScopedMount::tmpfs(top.root());
  auto other = ScopedMount::tmpfs(hostile.root());
  ASSERT_TRUE(disk.mounted() && other.mounted());
  const std::string uid = std::to_string(::geteuid());
  top.writeFile("sub/ours", 10);
  top.writeFile("sub/theirs", 20);
  ASSERT_EQ(FreedesktopTrash(home.root(), std::nullopt).moveToTrash(top.path("sub/ours")).value(),
            top.path(".Trash-" + uid + "/files/ours"));
  runCommand("mkdir -m 1777 " + shellQuote(top.path(".Trash")));
  client("trash-put " + shellQuote(top.path("sub/theirs")));
  ASSERT_TRUE(fs::exists(top.path(".Trash/" + uid + "/files/theirs")));
  // Refused: a shared .Trash without the sticky bit, and a link.
  runCommand("cd " + shellQuote(hostile.root()) + " && mkdir -p -m 0777 .Trash/" + uid + "/files .Trash/" + uid +
             "/info && echo x > .Trash/" + uid + "/files/x && printf '[Trash Info]\\nPath=x\\n' > .Trash/" + uid +
             "/info/x.trashinfo && mkdir -p elsewhere/files && ln -s elsewhere .Trash-" + uid);
  const TrashListing listing = catalogue.list();
  TrashListing onTop = scratchListing(top.root());
  ASSERT_EQ(onTop.items.size(), 2u);
  EXPECT_EQ(restorableItems(onTop), clientListing(top.root()));
  EXPECT_EQ(scratchListing(hostile.root()).items.size(), 0u);
  std::string problems;
  for (const std::string &problem : listing.problems)
    problems += problem + "\n";
  EXPECT_TRUE(contains(problems, hostile.path(".Trash") + " has no sticky bit")) << problems;
  EXPECT_TRUE(contains(problems, hostile.path(".Trash-" + uid) + " is a symbolic link")) << problems;

  const auto ours = TrashCatalogue::latestWithOriginalPath(onTop, top.path("sub/ours"));
  ASSERT_TRUE(ours);
  EXPECT_EQ(catalogue.restore(*ours).value(), top.path("sub/ours"));
  std::erase_if(onTop.items, [](const TrashedItem &item) { return item.name == "ours"; });
  EXPECT_EQ(catalogue.empty(onTop.items).removedCount, 1u);
  EXPECT_TRUE(clientListing(top.root()).empty());
  EXPECT_TRUE(fs::exists(top.path("sub/ours")));
  EXPECT_TRUE(fs::exists(hostile.path(".Trash/" + uid + "/files/x")));

  // A drive's record naming a place off the drive, which no move can reach,
  // never shadows the item really trashed from there, however late its date.
  home.writeFile("notes", 10);
  ASSERT_TRUE(FreedesktopTrash(home.root(), home.path(".local/share")).moveToTrash(home.path("notes")));
  runCommand("cd " + shellQuote(top.path(".Trash-" + uid)) + " && echo forged > files/notes && printf '[Trash Info]" +
             "\\nPath=" + home.path("notes") + "\\nDeletionDate=2099-01-01T00:00:00\\n' > info/notes.trashinfo");
  const auto notes = TrashCatalogue::latestWithOriginalPath(catalogue.list(), home.path("notes"));
  ASSERT_TRUE(notes);
  EXPECT_EQ(notes->trashDirectory, trash());
  EXPECT_EQ(catalogue.restore(*notes).value(), home.path("notes"));

  // A relative record climbing out of the drive spells a path below it, but
  // no restore takes it, and the listing says as much.
  runCommand("cd " + shellQuote(top.path(".Trash-" + uid)) + " && echo evil > files/e && printf '[Trash Info]" +
             "\\nPath=../../escape\\nDeletionDate=2020-01-01T00:00:00\\n' > info/e.trashinfo");
  const TrashListing listed = catalogue.list();
  const auto escape = std::ranges::find(listed.items, std::string("e"), &TrashedItem::name);
  ASSERT_NE(escape, listed.items.end());
  EXPECT_FALSE(escape->isRestorable()) << escape->originalPath;
  EXPECT_FALSE(catalogue.restore(*escape));
}

} // namespace
} // namespace tarnwick
