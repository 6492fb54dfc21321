#pragma once

#include "TarnwickCore/CleanableCategory.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tarnwick {

/// One file-system object of a tree under construction. Nodes live in a
/// TempNodeArena and never move; a directory's children are one contiguous
/// block, appended once by the single walker that lists that directory.
///
/// Threads: a node's fields are written only by the walker that created it
/// (the file facts) and by the walker that lists it (its children); the scan
/// publishes both to the aggregating thread through its work queue.
struct TempTreeNode {
  TempTreeNode *parent = nullptr;
  TempTreeNode *childBlock = nullptr;
  /// Not NUL-terminated; owned by the same arena as the node.
  const char *nameBytes = nullptr;
  std::int64_t allocatedSize = 0;
  std::int64_t fileCount = 0;
  std::int64_t directoryCount = 0;
  double modificationTimestamp = 0;
  std::uint32_t childCount = 0;
  std::uint16_t nameLength = 0;
  bool isDirectory = false;
  bool isPackage = false;
  std::optional<CleanableCategory> categoryHint;

  std::string_view name() const { return {nameBytes, nameLength}; }
  std::span<TempTreeNode> children() const { return {childBlock, childCount}; }

  /// Makes `block` this node's children and points each child back here.
  void adoptChildren(std::span<TempTreeNode> block);

  /// The full path, rebuilt from the names below the root; the root's own
  /// path is `rootPath`.
  std::string path(std::string_view rootPath) const;

  /// Folds every subtree's totals into its directory nodes, bottom-up: a
  /// directory's size and file count become the sums over the files below
  /// it, its directory count the number of directories below it. Iterative,
  /// so depth is bounded only by memory.
  void aggregate();
};

} // namespace tarnwick
