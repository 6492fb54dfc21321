#include "TarnwickCore/Scan/FastBulkScanner.h"
#include "TarnwickCore/Scan/WalkerPool.h"

#include "TarnwickCore/Scan/DirectoryWalker.h"
#include "TarnwickCore/Scan/FileManagerEntrySource.h"
#include "TarnwickCore/Scan/HardLinkResolution.h"
#include "TarnwickCore/Scan/LinuxBatchEntrySource.h"
#include "TarnwickCore/Support/PathJoin.h"
#include "TarnwickCore/Support/RealPath.h"
#include "TarnwickCore/Catalogue/PathRules.h"
#include "TarnwickCore/Scan/ScanContext.h"
#include "TarnwickCore/Scan/StorageDeviceProfile.h"
#include "TarnwickCore/Support/ScanErrors.h"
#include "TarnwickCore/Tree/ChildBlockWalk.h"
#include "TarnwickCore/Tree/TempArenaDrain.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <exception>
#include <new>
#include <sys/stat.h>
#include <system_error>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace tarnwick {
namespace {

constexpr std::int64_t maxConcurrencyCap = FastBulkScanner::concurrencyCap;

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// "file:///a%20b" (or "file://localhost/a%20b") → "/a b"; anything that is
// not a local file URL is returned unchanged. An escaped NUL cannot be part
// of a path and is left encoded.
std::string plainPath(const std::string &rootURL) {
  std::string_view rest = rootURL;
  auto startsWithNoCase = [](std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(),
                      [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); });
  };
  if (!startsWithNoCase(rest, "file://"))
    return rootURL;
  rest.remove_prefix(7);
  if (startsWithNoCase(rest, "localhost/"))
    rest.remove_prefix(9);
  if (!rest.starts_with('/'))
    return rootURL;
  std::string result;
  for (std::size_t i = 0; i < rest.size(); ++i) {
    int high = i + 2 < rest.size() && rest[i] == '%' ? hexValue(rest[i + 1]) : -1;
    int low = high >= 0 ? hexValue(rest[i + 2]) : -1;
    if (low >= 0 && (high | low) != 0) {
      result.push_back(static_cast<char>(high * 16 + low));
      i += 2;
    } else {
      result.push_back(rest[i]);
    }
  }
  return result;
}

// The root is a directory whatever the path really is: a root that cannot
// be listed becomes an empty, inaccessible directory, which still counts the
// blocks of a folder that is there. Its name is the given path's last
// component ("/" for the file system root).
TempTreeNode &makeRootNode(TempNodeArena &arena, const std::string &givenPath, const std::string &rootPath,
                           std::int64_t &device) {
  TempTreeNode &root = arena.allocateBlock(1)[0];
  std::string_view lastComponent = lastPathComponent(givenPath);
  std::string_view name = arena.storeName(lastComponent.empty() ? "/" : lastComponent);
  root.nameBytes = name.data();
  root.nameLength = static_cast<std::uint16_t>(name.size());
  root.isDirectory = true;
  root.isPackage = hasPackageExtension(lastComponent);
  if (struct stat st; ::stat(rootPath.c_str(), &st) == 0) {
    device = static_cast<std::int64_t>(st.st_dev);
    root.modificationTimestamp = static_cast<double>(st.st_mtim.tv_sec) + st.st_mtim.tv_nsec / 1e9;
    if (S_ISDIR(st.st_mode))
      root.allocatedSize = static_cast<std::int64_t>(st.st_blocks) * 512;
  }
  root.setCategoryHint(categoryHint(rootPath));
  return root;
}

// What the walkers counted and where they failed, the failures by path.
ScanReport makeReport(const DirectoryStats &stats, ScanContext &context) {
  // Folders a stop left in the queue: they are in the tree, empty.
  std::int64_t unlisted = 0;
  for (const ScanWorkItem &item : context.queue.takeLeftOver()) {
    context.recordUnreadable("read", item.path, 0, ScanReport::stoppedReason);
    ++unlisted;
  }
  ScanReport report;
  if (stats.unfinished + unlisted > 0)
    report.stoppedAfterEntries = static_cast<std::int64_t>(context.nodeCount.load()) - 1;
  report.skippedSymlinkCount = stats.skippedSymlinks;
  report.skippedDatalessCount = stats.skippedDataless;
  report.unreadableFolderCount = stats.inaccessible + stats.unfinished + unlisted;
  report.rootReadable = !context.rootUnreadable.load();
  report.unreadablePaths = context.takeUnreadable();
  std::ranges::sort(report.unreadablePaths, {}, &Failure::path);
  report.excludedCount = stats.excluded;
  report.skippedMountCount = stats.skippedMounts;
  report.skippedMounts = context.takeSkippedMounts();
  std::ranges::sort(report.skippedMounts, {}, &ScanReport::SkippedMount::path);
  return report;
}

// What the walkers freed (their buffers, the queue's items) sits in the
// heaps of threads that are gone, still resident; give those pages back
// before the frozen tree is built beside the temporary one.
void returnFreedHeapPages() {
#if defined(__GLIBC__)
  ::malloc_trim(0);
#endif
}

} // namespace

FastBulkScanner::FastBulkScanner(std::int64_t maxConcurrentDirectoriesIn, bool forceFileManagerFallbackIn)
    : maxConcurrentDirectories(std::clamp<std::int64_t>(maxConcurrentDirectoriesIn, 1, maxConcurrencyCap)),
      forceFileManagerFallback(forceFileManagerFallbackIn),
      entrySource_(std::make_shared<LinuxBatchEntrySource>()), concurrencyCeiling_(maxConcurrentDirectories) {}

void FastBulkScanner::setConcurrencyCeiling(std::int64_t ceiling) {
  concurrencyCeiling_ = std::clamp<std::int64_t>(ceiling, maxConcurrentDirectories, maxConcurrencyCap);
}

DiskTreeArena FastBulkScanner::scan(const std::string &rootURL, ProgressHandler progressHandler,
                                    std::stop_token stop, std::stop_token keep) const {
  const auto start = std::chrono::steady_clock::now();
  const std::string givenPath = plainPath(rootURL);
  const std::string rootPath = realPath(givenPath).value_or(givenPath);
  try {
    return walkAndFreeze(givenPath, rootPath, std::move(progressHandler), stop, keep, start);
  } catch (const std::bad_alloc &) {
    // The walk's memory is released by now, so the message can be built.
    throw ScanResourceError("out of memory while scanning " + rootPath);
  }
}

DiskTreeArena FastBulkScanner::walkAndFreeze(const std::string &givenPath, const std::string &rootPath,
                                             ProgressHandler progressHandler, std::stop_token stop,
                                             std::stop_token keep,
                                             std::chrono::steady_clock::time_point start) const {
  TempNodeArena rootArena;
  std::int64_t rootDevice = 0;
  TempTreeNode &root = makeRootNode(rootArena, givenPath, rootPath, rootDevice);
  // How hard to drive the device is decided once, by the root's: a disk
  // mounted below it is rare enough not to be worth a plan of its own.
  const StorageDeviceProfile device = StorageDeviceProfile::ofDevice(static_cast<std::uint64_t>(rootDevice), sysRoot_);
  LinuxBatchEntrySource inodeOrdered(LinuxBatchEntrySource::EntryOrder::inode);
  DirectoryEntrySource &batchSource = device.inodeOrder() && !entrySourceReplaced_ ? inodeOrdered : *entrySource_;

  FileManagerEntrySource fileManagerSource;
  ScanContext context(rootPath, std::move(progressHandler), batchSource, fileManagerSource, maxNodeCount_, scope_,
                      mounts_ ? *mounts_ : PseudoFileSystemTable::fromCurrentMounts());
  std::stop_callback forwardStop(stop, [&context] { context.stop.request_stop(); });
  std::stop_callback forwardKeep(keep, [&context] { context.stopAndKeep(); });
  context.rootOnPseudoFileSystem = context.pseudoFileSystems.contains(rootDevice);
  context.emitter.record(0, 0, root.allocatedSize, rootPath);

  // The walkers own the nodes they create; they live until the freeze.
  std::vector<std::unique_ptr<DirectoryWalker>> walkers;
  const int walkerCount = device.walkerCount(static_cast<int>(maxConcurrentDirectories));
  for (int i = 0; i < walkerCount; ++i)
    walkers.push_back(std::make_unique<DirectoryWalker>(context));
  ScanWorkItem rootItem{&root, rootPath, forceFileManagerFallback, DirectoryHintMatcher::matchesIn(rootPath),
                        rootDevice, 0};
  context.queue.push({&rootItem, 1});
  const auto ceiling = static_cast<std::size_t>(device.rotational ? walkerCount : std::max<std::int64_t>(walkerCount, concurrencyCeiling_));
  WalkerPool::run(context, walkers, ceiling, loadProbe_);

  if (std::exception_ptr failure = context.failure())
    std::rethrow_exception(failure);
  if (context.tooLarge.load())
    throw ScanTooLargeError("The folder holds more than " + std::to_string(maxNodeCount_) +
                            " files and folders, more than one scan can hold.");
  if (context.stopRequested() && (!context.keepPartial.load() || stop.stop_requested()))
    throw ScanCancelledError();

  // The walkers' buffers go before the freeze; their nodes go during it,
  // chunk by chunk as they are copied (TempArenaDrain).
  DirectoryStats stats;
  std::vector<LinkedFile> linkedFiles;
  std::size_t blockCount = 0;
  TempArenaDrain drain;
  drain.take(rootArena);
  for (const auto &walker : walkers) {
    stats += walker->stats();
    blockCount += walker->blockCount();
    linkedFiles.insert(linkedFiles.end(), walker->linkedFiles().begin(), walker->linkedFiles().end());
    drain.take(walker->arena());
  }
  walkers.clear();
  returnFreedHeapPages();
  drain.seal();
  // Each step over a large tree takes a noticeable part of a second, so a
  // cancellation is looked at between them (and during the copy).
  auto throwIfCancelled = [&stop] {
    if (stop.stop_requested())
      throw ScanCancelledError();
  };
  // One breadth-first block list serves hard-link resolution, aggregation
  // and the freeze.
  const std::vector<ChildBlock> blocks = childBlocksBreadthFirst(root, blockCount);
  throwIfCancelled();
  SharedLinkTable sharedLinks = resolveHardLinks(blocks, std::move(linkedFiles));
  aggregateBlocks(blocks);
  throwIfCancelled();
  ScanReport report = makeReport(stats, context);
  report.durationSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  DiskTreeArena arena =
      freezeTree(root, blocks, rootPath, 1, std::move(report), std::move(sharedLinks), drain, stop);
  context.emitter.emitFinal(rootPath);
  return arena;
}

} // namespace tarnwick
