#pragma once

#include "TarnwickCore/Catalogue/PathRules.h"
#include "TarnwickCore/Import/ExportReadError.h"
#include "TarnwickCore/Import/NcduEntry.h"
#include "TarnwickCore/Scan/HardLinkResolution.h"
#include "TarnwickCore/Tree/DiskTreeArena.h"
#include "TarnwickCore/Tree/ScanReport.h"
#include "TarnwickCore/Tree/TempNodeArena.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tarnwick {

/// Builds the scan's temporary tree from the entries of an export as the
/// reader meets them, depth first, and freezes it as a scan does: hard links
/// settled (each file's bytes once, at its first name breadth-first),
/// totals aggregated, the tree numbered breadth-first into a DiskTreeArena.
///
/// A folder's children are gathered in a per-depth list while it is open
/// and become one contiguous block when it closes, as a walker's listing
/// does. Depth costs one list entry per level, never the C++ stack.
///
/// Every method that can refuse the input returns the refusal, with the
/// offset it is given; after a refusal the builder is not used again.
///
/// Threads: one reader.
class NcduTreeBuilder {
public:
  explicit NcduTreeBuilder(std::size_t maxNodeCount = DiskTreeArena::maxNodeCount);

  /// gdu marks only the second and later names of a file as hard links and
  /// leaves the first unmarked, so a marked entry there is a repeat worth 0.
  void setMarksRepeatedLinksOnly(bool repeatsOnly) { repeatsOnly_ = repeatsOnly; }

  /// The root folder's info; `entry.name` is the scanned path.
  std::optional<ExportReadError> openRoot(const NcduEntry &entry, std::uint64_t offset);
  /// A folder in the folder open now; it is open until closeFolder().
  std::optional<ExportReadError> openFolder(const NcduEntry &entry, std::uint64_t offset);
  /// A file (or excluded entry) in the folder open now.
  std::optional<ExportReadError> addFile(const NcduEntry &entry, std::uint64_t offset);
  /// Ends the folder open now.
  std::optional<ExportReadError> closeFolder(std::uint64_t offset);

  /// Whether a root was opened and every folder closed since.
  bool complete() const { return root_ != nullptr && depth_ == 0; }
  /// The tree, once complete(); `seconds` is how long reading took.
  DiskTreeArena finish(double seconds);

private:
  struct PendingLink {
    std::uint32_t index;
    std::uint64_t device;
    std::uint64_t inode;
    std::uint64_t linkCount;
    std::int64_t size;
  };
  /// One open folder.
  struct Frame {
    std::vector<TempTreeNode> children;
    /// Where each child's entry ended, to place a duplicate.
    std::vector<std::uint64_t> offsets;
    std::vector<PendingLink> links;
    std::optional<DirectoryHintMatcher> hints;
    std::uint64_t device = 0;
    /// path_'s length before this folder's name was appended.
    std::size_t parentPathLength = 0;
    std::uint32_t indexInParent = 0;
    /// Symbolic links' blocks, which count in the folder's own size.
    std::int64_t linkBytes = 0;
    bool unreadableNoted = false;
  };

  std::optional<ExportReadError> checkName(const NcduEntry &entry, std::uint64_t offset) const;
  std::optional<ExportReadError> countNode(const NcduEntry &entry, std::uint64_t offset);
  /// A child of the folder open now, with its name stored and its hint set.
  TempTreeNode &appendChild(const NcduEntry &entry, std::uint64_t offset);
  void pushFrame(std::uint64_t device, std::uint64_t hintMatches);
  void noteUnreadable(Frame &frame, const char *action);
  std::string childPath(std::string_view name) const;
  std::optional<ExportReadError> findDuplicate(const Frame &frame);

  std::size_t maxNodeCount_;
  bool repeatsOnly_ = false;
  TempNodeArena arena_;
  TempTreeNode *root_ = nullptr;
  std::string rootPath_;
  /// frames_[0, depth_) are open; the rest keep their lists' room for reuse.
  std::vector<Frame> frames_;
  std::size_t depth_ = 0;
  /// The path of the folder open now.
  std::string path_;
  std::vector<LinkedFile> linkedFiles_;
  std::vector<std::pair<std::string_view, std::uint32_t>> sortedNames_;
  std::size_t nodeCount_ = 0;
  std::int64_t totalBytes_ = 0;
  ScanReport report_;
};

} // namespace tarnwick
