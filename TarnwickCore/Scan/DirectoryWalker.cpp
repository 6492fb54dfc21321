#include "TarnwickCore/Scan/DirectoryWalker.h"

#include "TarnwickCore/Support/PathJoin.h"
#include "TarnwickCore/Catalogue/PathRules.h"
#include "TarnwickCore/Scan/ScanContext.h"
#include "TarnwickCore/Support/ScanErrors.h"
#include "TarnwickCore/Support/ScopeExit.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <new>
#include <sys/vfs.h>

namespace tarnwick {
namespace {


// Waiting for a descriptor: pauses grow from the first to the longest. When
// no other walker holds a folder open, the descriptors are held elsewhere in
// the process and only so many retries are made before the scan gives up.
constexpr std::chrono::milliseconds firstDescriptorPause{1};
constexpr std::chrono::milliseconds longestDescriptorPause{50};
constexpr int retriesWithoutHolders = 12;

} // namespace

DirectoryWalker::DirectoryWalker(ScanContext &context)
    : context_(context), batchReader_(context.batchSource.makeReader()),
      fileManagerReader_(context.fileManagerSource.makeReader()) {
  batchReader_->shareExaminationWith(&context.queue);
}

DirectoryWalker::~DirectoryWalker() = default;

void DirectoryWalker::run() {
  try {
    while (auto item = context_.queue.pop()) {
      childItems_.clear();
      walk(*item);
      context_.queue.finish(childItems_);
    }
  } catch (...) {
    // Escaping the thread would end the process; the scan rethrows it.
    context_.fail(std::current_exception());
  }
}

void DirectoryWalker::walk(const ScanWorkItem &item) {
  directoryPath_.assign(item.path);
  if (context_.stopRequested()) {
    noteUnfinished();
    return;
  }
  TempTreeNode &directory = *item.directory;
  directoryDevice_ = item.device;
  depth_ = item.depth;
  // Below the root, the path past "ROOT/" ("/" alone ends in the slash).
  const std::size_t rootLength = context_.rootPath.size() + (context_.rootPath.ends_with('/') ? 0 : 1);
  relativeFolder_ = std::string_view(directoryPath_).substr(std::min(rootLength, directoryPath_.size()));
  bool useFileManager = item.useFileManager;
  ReadOutcome outcome;
  {
    ++context_.listingWalkers;
    const ScopeExit doneListing([this] { --context_.listingWalkers; });
    outcome = useFileManager ? ReadOutcome::unsupported : read(*batchReader_, false, item.hintMatches);
    if (outcome == ReadOutcome::unsupported) {
      // This directory and everything below it use the file-manager engine.
      useFileManager = true;
      outcome = read(*fileManagerReader_, true, item.hintMatches);
    }
  }
  if (outcome == ReadOutcome::complete) {
    commitChildren(directory, useFileManager);
  } else if (outcome == ReadOutcome::cancelled) {
    // A stop that keeps the tree keeps what was listed of this folder too;
    // the folders among it are left for the scan to mark as unread.
    if (context_.keepPartial.load())
      commitChildren(directory, useFileManager);
    noteUnfinished();
  }
}

void DirectoryWalker::noteUnfinished() {
  ++stats_.unfinished;
  context_.recordUnreadable("read", directoryPath_, 0, ScanReport::stoppedReason);
}

DirectoryWalker::ReadOutcome DirectoryWalker::read(DirectoryEntryReader &reader, bool checkEveryEntry,
                                                   std::uint64_t hintMatches) {
  pending_.clear();
  pendingDirectories_.clear();
  pendingLinks_.clear();
  pendingLinkBytes_ = 0;
  unreadableAction_ = nullptr;
  if (!reader.open(directoryPath_)) {
    int error = errno;
    if (!reopenAfterShortage(reader, error)) {
      if (context_.stopRequested())
        return ReadOutcome::cancelled;
      if (directoryPath_ == context_.rootPath)
        context_.rootUnreadable.store(true);
      noteUnreadable("open", error);
      return ReadOutcome::inaccessible;
    }
  }
  const ScopeExit closeReader([&reader] { reader.close(); });
  if (context_.stopRequested())
    return ReadOutcome::cancelled;
  const DirectoryHintMatcher hints(directoryPath_, hintMatches);
  bool readAny = false;
  for (;;) {
    BatchStatus status = reader.nextBatch(batch_);
    if (status == BatchStatus::unsupported && !readAny)
      return ReadOutcome::unsupported;
    if (status == BatchStatus::failed) {
      // What was read stands, but the directory's total is short.
      if (errno == ENOMEM)
        throw std::bad_alloc();
      if (!unreadableAction_) {
        unreadableAction_ = "read";
        unreadableError_ = errno;
      }
    }
    if (status != BatchStatus::entries)
      break;
    readAny = true;
    BatchTally tally;
    for (const EntryFacts &facts : batch_) {
      if (checkEveryEntry && context_.stopRequested())
        return ReadOutcome::cancelled;
      addEntry(facts, hints, tally);
    }
    reportBatch(tally);
    if (context_.stopRequested())
      return ReadOutcome::cancelled;
  }
  if (unreadableAction_)
    noteUnreadable(unreadableAction_, unreadableError_);
  context_.emitter.record(0, 1, 0, directoryPath_);
  return ReadOutcome::complete;
}

void DirectoryWalker::noteUnreadable(std::string_view action, int error) {
  ++stats_.inaccessible;
  context_.recordUnreadable(action, directoryPath_, error);
}

bool DirectoryWalker::reopenAfterShortage(DirectoryEntryReader &reader, int &error) {
  if (error == ENOMEM)
    throw std::bad_alloc();
  if (!isDescriptorShortage(error))
    return false;
  // Running out of descriptors says nothing about the folder: other walkers
  // close theirs as they finish a listing, so wait for that and retry. A
  // walker opens and closes folders only while it counts among the listing
  // walkers, so those beyond the waiters are folders about to be closed.
  ++context_.descriptorWaiters;
  const ScopeExit stopWaiting([this] { --context_.descriptorWaiters; });
  // Nothing notifies it: a pause that stopping the scan cuts short.
  std::mutex pauseLock;
  std::condition_variable_any pause;
  std::stop_token stop = context_.stop.get_token();
  int retriesLeft = retriesWithoutHolders;
  for (auto delay = firstDescriptorPause;; delay = std::min(delay * 2, longestDescriptorPause)) {
    bool othersHoldFolders = context_.listingWalkers.load() > context_.descriptorWaiters.load();
    if (!othersHoldFolders && retriesLeft-- == 0)
      throw ScanResourceError("out of file descriptors while scanning " + context_.rootPath + ": cannot open " +
                              directoryPath_ + " (" + std::strerror(error) + ")");
    std::unique_lock lock(pauseLock);
    pause.wait_for(lock, stop, delay, [] { return false; });
    if (stop.stop_requested())
      return false;
    if (reader.open(directoryPath_))
      return true;
    error = errno;
    if (error == ENOMEM)
      throw std::bad_alloc();
    if (!isDescriptorShortage(error))
      return false;
  }
}

void DirectoryWalker::addEntry(const EntryFacts &facts, const DirectoryHintMatcher &hints,
                               BatchTally &tally) {
  if (facts.name.empty() || facts.name == "." || facts.name == "..")
    return;
  if (!context_.excludes.empty() &&
      context_.excludes.excludes(relativeFolder_, depth_, facts.name, facts.type == EntryType::directory)) {
    ++stats_.excluded;
    return;
  }
  if (facts.errorCode != 0) {
    // An entry that vanished since the listing is simply gone; one that
    // could not be inspected (a directory readable but not searchable, an
    // I/O error) leaves the directory's total short, which must show.
    if (facts.errorCode == ENOMEM)
      throw std::bad_alloc();
    if (facts.errorCode != ENOENT && !unreadableAction_) {
      unreadableAction_ = "inspect the entries of";
      unreadableError_ = static_cast<int>(facts.errorCode);
    }
    return;
  }
  if (facts.type == EntryType::symlink) {
    ++stats_.skippedSymlinks;
    // Not followed and not a node, but a long target takes a block, which
    // `du` counts: it belongs to the directory, once however many names the
    // link has.
    if (facts.linkCount == 1 || facts.fileIdentifier == 0 ||
        context_.deduplicator.track(facts.device, facts.fileIdentifier)) {
      pendingLinkBytes_ += facts.size;
      tally.bytes += facts.size;
    }
    return;
  }
  TempTreeNode &node = pending_.append();
  node.allocatedSize = facts.size;
  if (facts.isDataless) {
    ++stats_.skippedDataless;
    node.allocatedSize = 0;
  }
  const std::uint64_t hintMatches = hints.childMatches(facts.name);
  node.setCategoryHint(DirectoryHintMatcher::hintFor(hintMatches));
  node.isDirectory = facts.type == EntryType::directory;
  if (node.isDirectory) {
    // A directory's own blocks (its listing) stay in its size; its
    // children's are added when the tree is aggregated.
    node.isPackage = hasPackageExtension(facts.name);
    // A folder on the folder's own device is on a file system already
    // entered, which is pseudo only when the root is.
    const bool descend = facts.device == directoryDevice_ ? !context_.rootOnPseudoFileSystem
                                                          : entersMount(facts, node);
    tally.bytes += node.allocatedSize;
    if (descend)
      pendingDirectories_.push_back({static_cast<std::uint32_t>(pending_.size() - 1), hintMatches, facts.device});
  } else {
    // A single-link file cannot meet itself again, so only files with other
    // links (or an unknown count) enter the set. Which name finally keeps
    // the size is settled after the walk (resolveHardLinks).
    if (facts.fileIdentifier != 0 && facts.linkCount != 1) {
      pendingLinks_.push_back({static_cast<std::uint32_t>(pending_.size() - 1), facts.device,
                               facts.fileIdentifier, node.allocatedSize, facts.linkCount});
      if (!context_.deduplicator.track(facts.device, facts.fileIdentifier))
        node.allocatedSize = 0;
    }
    ++tally.files;
    tally.bytes += node.allocatedSize;
    tally.lastFileName = facts.name;
  }
  std::string_view name = arena_.storeName(facts.name);
  node.nameBytes = name.data();
  node.nameLength = static_cast<std::uint16_t>(name.size());
  node.modificationTimestamp = facts.modificationTimestamp;
}

bool DirectoryWalker::entersMount(const EntryFacts &facts, TempTreeNode &node) {
  filePath_.assign(directoryPath_);
  appendPathComponent(filePath_, facts.name);
  // The mount table knows what it held when the scan started; a file
  // system mounted since, or a btrfs subvolume, is asked directly.
  const PseudoFileSystemTable::Mount *mount = context_.pseudoFileSystems.find(facts.device);
  std::optional<PseudoFileSystemTable::Mount> asked;
  if (struct statfs system; !mount && ::statfs(filePath_.c_str(), &system) == 0) {
    asked = PseudoFileSystemTable::fromMagic(facts.device, static_cast<long>(system.f_type));
    mount = asked ? &*asked : nullptr;
  }
  const MountKind kind = mount ? mount->kind : MountKind::ordinary;
  if (kind == MountKind::pseudo)
    return false;
  using Reason = ScanReport::SkippedMount::Reason;
  Reason reason = Reason::otherFileSystem;
  if (kind == MountKind::remote && !context_.includeRemote)
    reason = Reason::remote;
  else if (kind == MountKind::image && !context_.includeRemote)
    reason = Reason::image;
  else if (!context_.oneFileSystem)
    return true;
  ++stats_.skippedMounts;
  node.allocatedSize = 0;
  context_.recordSkippedMount({filePath_, mount ? mount->fileSystemType : std::string(), reason});
  return false;
}

void DirectoryWalker::reportBatch(const BatchTally &tally) {
  if (tally.files == 0 && tally.bytes == 0)
    return;
  filePath_.assign(directoryPath_);
  if (tally.files > 0)
    appendPathComponent(filePath_, tally.lastFileName);
  context_.emitter.record(tally.files, 0, tally.bytes, filePath_);
}

void DirectoryWalker::commitChildren(TempTreeNode &directory, bool useFileManager) {
  // Past the node limit the scan is over; nothing more is linked in.
  if (!context_.countNodes(pending_.size()))
    return;
  std::span<TempTreeNode> block = pending_.commitTo(arena_);
  directory.adoptChildren(block);
  if (!block.empty())
    ++blockCount_;
  directory.allocatedSize += pendingLinkBytes_;
  for (const PendingLink &link : pendingLinks_)
    linkedFiles_.push_back({link.device, link.inode, link.size, link.linkCount, &block[link.index]});
  for (const PendingDirectory &pending : pendingDirectories_) {
    TempTreeNode &node = block[pending.index];
    ScanWorkItem &child = childItems_.emplace_back(
        ScanWorkItem{&node, directoryPath_, useFileManager, pending.hintMatches, pending.device, depth_ + 1});
    appendPathComponent(child.path, node.name());
  }
}

} // namespace tarnwick
