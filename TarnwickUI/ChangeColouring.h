#pragma once

#include "TarnwickCore/Diff/TreeComparison.h"

#include <QColor>

#include <memory>
#include <optional>

namespace tarnwick {

/// Tile fills by how each entry changed since an older scan, for the
/// treemap of a comparison's newer tree: grown, shrunk, new or unchanged,
/// the stronger the larger the change is against the entry's own size (a
/// file that doubled reads stronger than a folder that grew by 1 %). Made
/// without a comparison it colours nothing, and the painters keep their
/// category colours.
///
/// Threads: a plain value. Copies share the comparison, which is never
/// modified, so painters on any thread may read it.
class ChangeColouring {
public:
  ChangeColouring() = default;
  explicit ChangeColouring(std::shared_ptr<const TreeComparison> comparison);

  bool isActive() const { return comparison_ != nullptr; }
  /// Whether the fills describe `arena`'s nodes: the comparison was made
  /// with it, or a copy sharing its storage, as the newer tree. Another
  /// tree's identifiers name other entries.
  bool describes(const DiskTreeArena &arena) const;
  /// The fill of the newer tree's node `id`, opaque; nothing when inactive
  /// or for an identifier that tree does not have.
  std::optional<QColor> fill(NodeID id) const;
  const std::shared_ptr<const TreeComparison> &comparison() const { return comparison_; }

  /// A kind of change at full strength, as the legend shows it.
  static QColor colour(TreeComparison::Change change);

  /// The same comparison, or both inactive.
  friend bool operator==(const ChangeColouring &a, const ChangeColouring &b) {
    return a.comparison_ == b.comparison_;
  }

private:
  std::shared_ptr<const TreeComparison> comparison_;
};

} // namespace tarnwick
