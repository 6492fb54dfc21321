#pragma once

#include "TarnwickCore/Catalogue/CleanableCategory.h"
#include "TarnwickCore/Tree/DiskTreeArena.h"

#include <QColor>
#include <QString>

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <stop_token>

namespace tarnwick {

/// How the bytes of one scanned tree divide among the storage gauge's
/// groups: the categories that share a colour on the treemap, plus the
/// bytes that no category describes.
///
/// Threads: a plain value; measure() may run on any thread.
class CategoryShares {
public:
  enum class Group : std::uint8_t { developer, media, containers, browsers, caches, ai, logs, downloads, trash, other };
  static constexpr std::size_t groupCount = 10;

  /// The group of a category; `other` for none.
  static Group groupOf(std::optional<CleanableCategory> category);
  /// A short legend title ("Dev", "Media", …, "Other").
  static QString title(Group group);
  /// The treemap's colour of the group's categories; charcoal for `other`.
  static QColor color(Group group);

  /// Every node's own bytes (a file's size, a folder's own blocks) go to
  /// the group of the node's category: its hint, else the one inferred from
  /// its path (TreemapPalette). One walk of the tree, which builds each
  /// path from its parent's; none once `stop` is requested.
  static std::optional<CategoryShares> measure(const DiskTreeArena &arena, std::stop_token stop = {});
  /// The shares of withoutSubtrees(`arena`, `removed`) (ArenaEdit), given
  /// that these are the shares of `arena`: what the removed subtrees held
  /// leaves its groups, and a hard-linked file whose carrier went moves to
  /// the group of its first remaining name. Costs a walk of the removed
  /// subtrees and one look up the tree from each hard-linked name, so a
  /// clean publishes without measuring the whole tree again.
  CategoryShares withoutSubtrees(const DiskTreeArena &arena, std::span<const NodeID> removed) const;
  /// The shares of `spliced`, withSubtreeReplaced(`arena`, `folder`, …)
  /// (ArenaEdit) whose folder is `splicedFolder`, given that these are the
  /// shares of `arena`: the old subtree leaves, the new one comes in, and
  /// each hard-linked name outside the folder whose bytes the splice moved
  /// is counted again. Costs a walk of both subtrees and, for each
  /// hard-linked name outside the folder, a look down both trees.
  CategoryShares withSubtreeReplaced(const DiskTreeArena &arena, NodeID folder, const DiskTreeArena &spliced,
                                     NodeID splicedFolder) const;

  std::int64_t bytes(Group group) const { return bytes_[static_cast<std::size_t>(group)]; }
  /// The tree's total: the sum over the groups.
  std::int64_t total() const;

  friend bool operator==(const CategoryShares &, const CategoryShares &) = default;

private:
  // Adds (sign 1) or takes away (sign -1) the own bytes of every node from
  // `top` down; false when `stop` came first.
  bool addSubtree(const DiskTreeArena &arena, NodeID top, std::int64_t sign, std::stop_token stop);

  std::array<std::int64_t, groupCount> bytes_{};
};

} // namespace tarnwick
