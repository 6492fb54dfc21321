#pragma once

#include "TarnwickCore/Catalogue/CleanableCategory.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace tarnwick {

/// One file-system object of a tree under construction. Nodes live in a
/// TempNodeArena and never move; a directory's children are one contiguous
/// block, appended once by the single walker that lists that directory.
///
/// Nodes hold no parent link: whoever walks the tree knows where it came
/// from, which keeps every node of a large scan eight bytes smaller.
///
/// Threads: a node's fields are written only by the walker that created it
/// (the file facts) and by the walker that lists it (its children); the scan
/// publishes both to the aggregating thread through its work queue.
struct TempTreeNode {
  TempTreeNode *childBlock = nullptr;
  /// Not NUL-terminated; owned by the same arena as the node.
  const char *nameBytes = nullptr;
  std::int64_t allocatedSize = 0;
  double modificationTimestamp = 0;
  std::uint32_t childCount = 0;
  std::uint16_t nameLength = 0;
  bool isDirectory : 1 = false;
  bool isPackage : 1 = false;
  /// 0 = no hint, otherwise the category's value + 1 (one byte, not two).
  std::uint8_t categoryHintCode = 0;

  std::optional<CleanableCategory> categoryHint() const {
    if (categoryHintCode == 0)
      return std::nullopt;
    return static_cast<CleanableCategory>(categoryHintCode - 1);
  }
  void setCategoryHint(std::optional<CleanableCategory> hint) {
    categoryHintCode = hint ? static_cast<std::uint8_t>(static_cast<unsigned>(*hint) + 1) : 0;
  }

  std::string_view name() const { return {nameBytes, nameLength}; }
  std::span<TempTreeNode> children() const { return {childBlock, childCount}; }

  /// Makes `block` this node's children.
  void adoptChildren(std::span<TempTreeNode> block);

  /// Folds every subtree's sizes into its directory nodes, bottom-up: a
  /// directory's size becomes its own plus the sizes of everything below
  /// it. (A node holds no counts, every non-directory being one file: the
  /// freeze counts the files and directories below each node.) Iterative,
  /// so depth is bounded only by memory; the extra memory is one entry per
  /// directory, not per node.
  void aggregate();
};

static_assert(sizeof(TempTreeNode) == 40, "a temporary node is meant to stay at 40 bytes");

} // namespace tarnwick
