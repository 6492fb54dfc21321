#include "TarnwickUI/TarnwickAppCoordinator.h"

#include "TarnwickCore/Deletion/TrashCatalogue.h"
#include "TarnwickCore/Tree/ArenaEdit.h"

#include "TestSupport/GatedScan.h"
#include "TestSupport/TempTree.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTest>

#include <atomic>
#include <cerrno>
#include <filesystem>

namespace tarnwick {
namespace {

namespace fs = std::filesystem;
using quillane::test::GatedScan;
using quillane::test::TempTree;

// Gives a finished or stopped scan the time to deliver what it must not:
// true when `happened` came true within it.
bool happensSoon(const std::function<bool()> &happened) { return QTest::qWaitFor(happened, 200); }

class TarnwickAppCoordinatorTest : public ::testing::Test {
protected:
  void SetUp() override {
    tree.writeFile(".cache/junk", 5000);
    tree.writeFile("notes", 1);
    engine = std::make_shared<SafeCleaningEngine>(
        tree.root(), std::make_shared<SystemCleaningFileSystem>(FreedesktopTrash(tree.root(), tree.path(".local/share"))));
    coordinator = std::make_unique<TarnwickAppCoordinator>(scan.function(), engine);
    QObject::connect(coordinator.get(), &TarnwickAppCoordinator::arenaChanged, [this] { ++arenasPublished; });
  }
  QString root() const { return QString::fromStdString(tree.root()); }
  [[nodiscard]] bool settled() { return QTest::qWaitFor([&] { return !coordinator->isScanning(); }); }
  // Scans `path` (the root when empty) through an open gate to the end.
  [[nodiscard]] bool scanToEnd(const std::string &path = {}) {
    scan.open();
    coordinator->startScan(path.empty() ? root() : QString::fromStdString(path));
    return settled();
  }

  TempTree tree;
  std::shared_ptr<SafeCleaningEngine> engine;
  GatedScan scan; // holds every scan of `coordinator` until opened
  std::unique_ptr<TarnwickAppCoordinator> coordinator;
  int arenasPublished = 0;
};

TEST_F(TarnwickAppCoordinatorTest, PublishesProgressThenTheTreeAndACancelledScanNothing) {
  coordinator->cancelScan(); // nothing running: only the flag
  EXPECT_FALSE(coordinator->isScanning());

  coordinator->startScan(root());
  EXPECT_TRUE(coordinator->isScanning());
  ASSERT_TRUE(QTest::qWaitFor([&] { return coordinator->scanProgress().has_value(); }));
  EXPECT_EQ(coordinator->scanProgress()->scannedFiles, 1234);
  EXPECT_FALSE(coordinator->arena());

  scan.open();
  ASSERT_TRUE(settled());
  ASSERT_TRUE(coordinator->arena());
  EXPECT_EQ(coordinator->arena()->rootNode()->fileCount, 2);
  EXPECT_EQ(arenasPublished, 1);
  EXPECT_FALSE(coordinator->scanError());

  coordinator->startScan(root()); // free to finish at once, but cancelled first
  coordinator->cancelScan();
  EXPECT_FALSE(coordinator->isScanning());
  EXPECT_FALSE(happensSoon([&] { return arenasPublished > 1 || coordinator->isScanning(); }));
  EXPECT_FALSE(coordinator->scanError());
}

TEST_F(TarnwickAppCoordinatorTest, AReplacedScanNeverPublishes) {
  coordinator->startScan(QString::fromStdString(tree.path(".cache")));
  coordinator->startScan(root()); // replaces the first
  EXPECT_TRUE(coordinator->isScanning());
  ASSERT_TRUE(QTest::qWaitFor([&] { return scan.started() == 2; }));
  scan.open();
  ASSERT_TRUE(settled());
  EXPECT_FALSE(happensSoon([&] { return arenasPublished > 1; }));
  EXPECT_EQ(coordinator->arena()->rootPath(), tree.root());
  EXPECT_EQ(coordinator->scanProgress()->rootPath, tree.root()); // the replaced scan's report is dropped too
}

TEST_F(TarnwickAppCoordinatorTest, AnUnreadableRootIsAResultAFailureIsTextAndTheNextScanClearsEach) {
  EXPECT_TRUE(coordinator->unreadablePaths().empty()); // no tree yet
  ASSERT_TRUE(scanToEnd(tree.path("missing")));
  const auto unreadable = coordinator->arena();
  ASSERT_TRUE(unreadable);
  EXPECT_FALSE(unreadable->scanReport().rootReadable);
  EXPECT_TRUE(unreadable->nodeCount() == 1 && unreadable->rootNode()->isDirectory) << "an empty folder, alone";
  EXPECT_EQ(coordinator->unreadablePaths(), (std::vector<Failure>{{"open", tree.path("missing"), ENOENT, ""}}));
  EXPECT_FALSE(coordinator->scanError());

  scan.failWith("cannot read /media/a\nb: The disk went away.");
  ASSERT_TRUE(scanToEnd());
  EXPECT_EQ(coordinator->scanError(), QString("cannot read /media/a⏎b: The disk went away.")) << "on one line";
  EXPECT_EQ(coordinator->arena(), unreadable) << "a failed scan publishes no tree";
  const std::optional<QString> refusal = coordinator->trashRefusal(tree.path("a\nb"));
  ASSERT_TRUE(refusal);
  EXPECT_TRUE(refusal->contains(QStringLiteral("a⏎b")) && !refusal->contains(u'\n')) << refusal->toStdString();

  scan.failWith("");
  coordinator->startScan(root());
  EXPECT_FALSE(coordinator->scanError());
  ASSERT_TRUE(settled());
  EXPECT_TRUE(coordinator->unreadablePaths().empty()); // the new tree's, not the last one's
}

TEST_F(TarnwickAppCoordinatorTest, AMoveFromTheTreeFreesOnlyUnlinkedFilesAndLeavesTheTreeWithItsShares) {
  tree.writeFile("pair/one", 8192);
  tree.makeHardLink("pair/one", "kept/other-link");
  ASSERT_TRUE(scanToEnd());
  const auto arena = coordinator->arena();
  ASSERT_TRUE(arena);
  const CategoryShares &shares = coordinator->categoryShares();
  EXPECT_EQ(shares.total(), arena->rootNode()->allocatedSize);
  EXPECT_EQ(shares.bytes(CategoryShares::Group::caches), quillane::test::duBytes(tree.path(".cache")))
      << "everything below .cache carries its hint";

  const auto nodeAt = [&](const char *relative) {
    const std::optional<NodeID> id = findNodeByPath(*arena, tree.path(relative));
    const std::optional<DiskNode> node = id ? arena->node(*id) : std::nullopt;
    if (!node)
      ADD_FAILURE() << relative << " is not in the tree";
    return node.value_or(DiskNode{});
  };
  const struct {
    DiskNode node;
    std::int64_t freed;
    std::int64_t linksLeft;
  } cases[] = {
      {nodeAt("pair/one"), 0, 1},
      {nodeAt(".cache/junk"), quillane::test::duBytes(tree.path(".cache/junk")), 0},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.node.path);
    const auto before = coordinator->arena();
    coordinator->moveNodeToTrash(c.node);
    ASSERT_TRUE(QTest::qWaitFor([&] {
      const auto &report = coordinator->lastCleaningReport();
      return report && report->cleanedPaths == std::vector<std::string>{c.node.path};
    }));
    EXPECT_EQ(coordinator->lastCleaningReport()->freedBytes, c.node.allocatedSize);
    EXPECT_TRUE(fs::exists(tree.path(".local/share/Trash/files/" + c.node.name)));
    const std::optional<ReclaimedSpace> &space = coordinator->lastCleaningReport()->reclaimed;
    ASSERT_TRUE(space);
    EXPECT_EQ(space->bytes, c.freed);
    EXPECT_EQ(space->remainingLinks, c.linksLeft);
    EXPECT_EQ(space->linkedElsewhere.contains(c.node.path), c.linksLeft > 0);

    // The item leaves the tree; a file kept by another link still counts.
    ASSERT_TRUE(QTest::qWaitFor([&] { return coordinator->arena() != before; }));
    const auto after = coordinator->arena();
    EXPECT_FALSE(findNodeByPath(*after, c.node.path));
    EXPECT_EQ(after->rootNode()->allocatedSize, before->rootNode()->allocatedSize - c.freed);
    EXPECT_EQ(after->rootNode()->fileCount, before->rootNode()->fileCount - 1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return coordinator->categoryShares().total() == after->rootNode()->allocatedSize; }))
        << "the gauge follows the tree";
  }

  // Refused items stay, and so does the tree: the treemap's synthetic tail
  // (which has no path) and the home folder itself.
  const auto kept = coordinator->arena();
  DiskNode tail;
  tail.id = -9999;
  for (const DiskNode &refused : {tail, *kept->rootNode()}) {
    coordinator->moveNodeToTrash(refused);
    ASSERT_TRUE(QTest::qWaitFor([&] {
      return coordinator->lastCleaningReport()->blockedProtectedPaths == std::vector<std::string>{refused.path};
    })) << refused.path;
    EXPECT_TRUE(coordinator->lastCleaningReport()->cleanedPaths.empty());
    EXPECT_EQ(coordinator->lastCleaningReport()->errors.count(refused.path), 1u);
  }
  EXPECT_FALSE(happensSoon([&] { return coordinator->arena() != kept; }));
}

// The tree is what the scan saw: an entry changed or replaced since is not
// what the user chose, and stays where it is.
TEST_F(TarnwickAppCoordinatorTest, AnEntryChangedSinceTheScanIsNotMoved) {
  for (const char *name : {"grown", "touched", "now-folder", "still"})
    tree.writeFile(name, 100);
  ASSERT_TRUE(scanToEnd());
  const auto arena = coordinator->arena();
  const auto nodeAt = [&](const char *name) { return *arena->node(*findNodeByPath(*arena, tree.path(name))); };
  tree.writeFile("grown", 100'000);
  fs::last_write_time(tree.path("touched"), fs::last_write_time(tree.path("touched")) - std::chrono::hours(1));
  fs::remove(tree.path("now-folder"));
  fs::create_directory(tree.path("now-folder"));
  for (const char *name : {"grown", "touched", "now-folder"}) {
    SCOPED_TRACE(name);
    const DiskNode node = nodeAt(name);
    coordinator->moveNodeToTrash(node);
    ASSERT_TRUE(QTest::qWaitFor([&] {
      const auto &report = coordinator->lastCleaningReport();
      return report && report->errors.contains(node.path);
    }));
    EXPECT_TRUE(coordinator->lastCleaningReport()->cleanedPaths.empty());
    EXPECT_NE(coordinator->lastCleaningReport()->errors.at(node.path).find("after the scan"), std::string::npos);
    EXPECT_TRUE(fs::exists(node.path));
  }
  EXPECT_FALSE(fs::exists(tree.path(".local/share/Trash/files")) &&
               !fs::is_empty(tree.path(".local/share/Trash/files")));
  const DiskNode still = nodeAt("still");
  coordinator->moveNodeToTrash(still);
  EXPECT_TRUE(QTest::qWaitFor([&] {
    return coordinator->lastCleaningReport()->cleanedPaths == std::vector<std::string>{still.path};
  })) << "an unchanged one goes";
}

TEST_F(TarnwickAppCoordinatorTest, AFolderRescanSplicesIntoTheNewestTreeAndAFullScanStaysWhole) {
  GatedScan gate; // holds every scan but the first
  auto calls = std::make_shared<std::atomic<int>>(0);
  coordinator = std::make_unique<TarnwickAppCoordinator>(
      [calls, gated = gate.function()](const std::string &root, ProgressHandler progress, std::stop_token stop,
                                       std::stop_token keep, const std::string &scopeRoot) {
        return ++*calls == 1 ? FastBulkScanner(2).scan(root, {}, stop)
                             : gated(root, std::move(progress), stop, keep, scopeRoot);
      },
      engine);
  coordinator->rescanFolder(tree.path(".cache")); // no tree yet: nothing
  EXPECT_FALSE(coordinator->isScanning());
  coordinator->startScan(root());
  EXPECT_FALSE(coordinator->isRescanningFolder());
  ASSERT_TRUE(settled());
  const auto first = coordinator->arena();
  coordinator->rescanFolder(tree.path("notes")); // a file: nothing
  EXPECT_FALSE(coordinator->isScanning());

  tree.writeFile(".cache/new", 7000);
  tree.writeFile("outside", 1);
  coordinator->rescanFolder(tree.path(".cache"));
  EXPECT_TRUE(coordinator->isRescanningFolder());
  ASSERT_TRUE(QTest::qWaitFor([&] { return gate.started() == 1; }));
  coordinator->forgetPaths({tree.path("notes")}); // a tree published meanwhile
  ASSERT_TRUE(QTest::qWaitFor([&] { return coordinator->arena() != first; }));
  gate.open();
  ASSERT_TRUE(settled());
  const auto spliced = coordinator->arena();
  EXPECT_TRUE(findNodeByPath(*spliced, tree.path(".cache/new")));
  EXPECT_FALSE(findNodeByPath(*spliced, tree.path("notes"))) << "spliced into the newest tree";
  EXPECT_FALSE(findNodeByPath(*spliced, tree.path("outside"))) << "only the folder was read";
  EXPECT_EQ(coordinator->categoryShares().total(), spliced->rootNode()->allocatedSize);

  fs::remove_all(tree.path(".cache"));
  coordinator->rescanFolder(tree.path(".cache"));
  ASSERT_TRUE(settled());
  EXPECT_TRUE(coordinator->scanError() && coordinator->scanError()->contains(QString::fromStdString(tree.path(".cache"))));
  EXPECT_EQ(coordinator->arena(), spliced);

  coordinator->startScan(root()); // the full rescan reads everything again
  EXPECT_FALSE(coordinator->isRescanningFolder());
  ASSERT_TRUE(settled());
  EXPECT_TRUE(findNodeByPath(*coordinator->arena(), tree.path("outside")));
  EXPECT_FALSE(coordinator->scanError());
}

TEST_F(TarnwickAppCoordinatorTest, AFolderRescanLeavesOutWhatTheWholeScanLeftOut) {
  tree.writeFile("src/a/build/out.o", 4000);
  tree.writeFile("src/a/main.c", 10);
  ScanScope scope;
  scope.excludes = {"src/*/build"};
  auto scanner = std::make_shared<FastBulkScanner>(2);
  scanner->setScope(scope);
  coordinator = std::make_unique<TarnwickAppCoordinator>(std::shared_ptr<const FastBulkScanner>(scanner), engine);
  for (const bool rescan : {false, true}) {
    SCOPED_TRACE(rescan ? "folder rescan" : "whole scan");
    if (rescan)
      coordinator->rescanFolder(tree.path("src/a"));
    else
      coordinator->startScan(root());
    ASSERT_TRUE(settled());
    ASSERT_TRUE(coordinator->arena());
    EXPECT_TRUE(findNodeByPath(*coordinator->arena(), tree.path("src/a/main.c")));
    EXPECT_FALSE(findNodeByPath(*coordinator->arena(), tree.path("src/a/build")));
  }
}

TEST_F(TarnwickAppCoordinatorTest, AWholeScanIsRememberedAndOpensAgainAsScannedThen) {
  scan.open();
  auto store = std::make_shared<const ScanSnapshotStore>(tree.path("remembered"));
  coordinator->setSnapshotStore(store);
  coordinator->startScan(root());
  ASSERT_TRUE(QTest::qWaitFor([&] { return !store->list().empty(); })); // saved after it was published
  const std::shared_ptr<const DiskTreeArena> scanned = coordinator->arena();
  ASSERT_TRUE(scanned);
  EXPECT_FALSE(coordinator->rememberedScanTime());
  const std::vector<ScanSnapshotStore::Entry> entries = store->list();
  ASSERT_EQ(entries.size(), 1u);
  ASSERT_TRUE(entries.front().header);
  EXPECT_EQ(entries.front().header->rootPath, scanned->rootPath());

  coordinator->openSnapshot(QString::fromStdString(entries.front().filePath));
  ASSERT_TRUE(settled());
  ASSERT_NE(coordinator->arena(), scanned);
  EXPECT_EQ(*coordinator->arena(), *scanned);
  EXPECT_EQ(coordinator->rememberedScanTime(), entries.front().header->scanTime);
  EXPECT_FALSE(coordinator->cleaningRefusal()) << "its root is this computer's";

  ASSERT_TRUE(scanToEnd()); // a fresh scan is no remembered one
  EXPECT_FALSE(coordinator->rememberedScanTime());
}

// What the window removes from a remembered tree leaves its snapshot too,
// so reopening it never brings that back; the scan before stays the previous.
TEST_F(TarnwickAppCoordinatorTest, ARememberedTreeForgetsWhatWasRemovedFromIt) {
  auto store = std::make_shared<const ScanSnapshotStore>(tree.path("remembered"));
  coordinator->setSnapshotStore(store);
  const std::string notes = tree.path("notes");
  auto remembersNotes = [&] {
    const ScanSnapshotReader::Outcome loaded = store->load(tree.root());
    const auto *arena = std::get_if<DiskTreeArena>(&loaded);
    return arena && findNodeByPath(*arena, notes).has_value();
  };
  ASSERT_TRUE(scanToEnd());
  ASSERT_TRUE(QTest::qWaitFor(remembersNotes));
  coordinator->moveNodeToTrash(*coordinator->arena()->node(*findNodeByPath(*coordinator->arena(), notes)));
  EXPECT_TRUE(QTest::qWaitFor([&] { return !remembersNotes(); }));
  EXPECT_FALSE(fs::exists(store->previousFilePathFor(tree.root()))) << "one scan was made, not two";
}

TEST_F(TarnwickAppCoordinatorTest, AStoppedScanIsShownPartialNeverRememberedAndARescanMakesItWhole) {
  auto store = std::make_shared<const ScanSnapshotStore>(tree.path("remembered"));
  coordinator->setSnapshotStore(store);
  coordinator->stopScanKeepingTree(); // nothing running: nothing
  EXPECT_FALSE(coordinator->isScanning());
  coordinator->startScan(root());
  ASSERT_TRUE(QTest::qWaitFor([&] { return scan.started() == 1; }));
  coordinator->stopScanKeepingTree();
  ASSERT_TRUE(settled());
  ASSERT_TRUE(coordinator->arena());
  const ScanReport &report = coordinator->arena()->scanReport();
  EXPECT_EQ(report.stoppedAfterEntries, 2); // .cache and notes, .cache unread
  ASSERT_EQ(report.unreadablePaths.size(), 1u);
  EXPECT_EQ(report.unreadablePaths.front().path, tree.path(".cache"));
  EXPECT_FALSE(happensSoon([&] { return !store->list().empty(); })) << "a partial tree was remembered";

  scan.open(); // the root's rescan reads it whole
  coordinator->rescanFolder(tree.root());
  ASSERT_TRUE(settled());
  EXPECT_FALSE(coordinator->arena()->scanReport().stoppedAfterEntries);
  EXPECT_TRUE(coordinator->arena()->scanReport().unreadablePaths.empty());
  EXPECT_EQ(coordinator->arena()->rootNode()->fileCount, 2);
}

TEST_F(TarnwickAppCoordinatorTest, UndoNeverReplacesWhatTookTheNameMeanwhile) {
  coordinator->setTrashCatalogue(
      std::make_shared<const TrashCatalogue>(FreedesktopTrash(tree.root(), tree.path(".local/share"))));
  ASSERT_TRUE(scanToEnd());
  const DiskNode notes = *coordinator->arena()->node(*findNodeByPath(*coordinator->arena(), tree.path("notes")));
  EXPECT_FALSE(coordinator->canUndoLastMove());
  coordinator->moveNodeToTrash(notes);
  ASSERT_TRUE(QTest::qWaitFor([&] { return coordinator->canUndoLastMove(); }));
  tree.writeFile("notes", 77); // a new file takes the name

  QSignalSpy finished(coordinator.get(), &TarnwickAppCoordinator::undoFinished);
  coordinator->undoLastMove();
  EXPECT_FALSE(coordinator->canUndoLastMove()) << "once only";
  ASSERT_TRUE(QTest::qWaitFor([&] { return finished.count() == 1; }));
  EXPECT_FALSE(finished[0][1].toBool()) << finished[0][0].toString().toStdString();
  EXPECT_EQ(fs::file_size(tree.path("notes")), 77u);
  EXPECT_TRUE(fs::exists(tree.path(".local/share/Trash/files/notes")));
}

// A home reached through a link (as where /home leads to /var/home), scanned
// by that name: the tree names its items where they really lie, the guard
// and the Trash know the home by the link, and the item moved from the tree
// comes back, into the tree too.
TEST_F(TarnwickAppCoordinatorTest, UndoBringsBackAnItemOfAHomeScannedThroughALink) {
  tree.writeFile("var/home/ann/notes", 10);
  tree.makeSymlink("home", "var/home");
  const std::string home = tree.path("home/ann"), notes = tree.path("var/home/ann/notes");
  const FreedesktopTrash trash(home, home + "/.local/share");
  coordinator = std::make_unique<TarnwickAppCoordinator>(
      scan.function(), std::make_shared<SafeCleaningEngine>(home, std::make_shared<SystemCleaningFileSystem>(trash)));
  coordinator->setTrashCatalogue(std::make_shared<const TrashCatalogue>(trash));
  ASSERT_TRUE(scanToEnd(home));
  const std::optional<NodeID> id = findNodeByPath(*coordinator->arena(), notes);
  ASSERT_TRUE(id);
  coordinator->moveNodeToTrash(*coordinator->arena()->node(*id));
  ASSERT_TRUE(QTest::qWaitFor([&] { return coordinator->canUndoLastMove(); }));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !findNodeByPath(*coordinator->arena(), notes); }));
  EXPECT_TRUE(coordinator->trashRefusal(home + "/.local/share/Trash/files/notes")) << "in the Trash already";

  QSignalSpy finished(coordinator.get(), &TarnwickAppCoordinator::undoFinished);
  coordinator->undoLastMove();
  ASSERT_TRUE(QTest::qWaitFor([&] { return finished.count() == 1; }));
  EXPECT_TRUE(finished[0][1].toBool()) << finished[0][0].toString().toStdString();
  EXPECT_EQ(fs::file_size(notes), 10u);
  EXPECT_TRUE(QTest::qWaitFor([&] { return findNodeByPath(*coordinator->arena(), notes).has_value(); }));
}

TEST_F(TarnwickAppCoordinatorTest, ADestroyedCoordinatorReceivesNothing) {
  coordinator->startScan(root());
  ASSERT_TRUE(QTest::qWaitFor([&] { return scan.started() == 1; }));
  coordinator.reset(); // stops and joins its scan; queued results die with it
  QCoreApplication::processEvents(); // under AddressSanitizer, a stray delivery would be a use after free
  EXPECT_EQ(arenasPublished, 0);
}

} // namespace
} // namespace tarnwick
