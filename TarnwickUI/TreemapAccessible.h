#pragma once

#include <QAccessible>
#include <QAccessibleWidget>

#include <cstddef>
#include <vector>

namespace tarnwick {

class TreemapCanvasView;

/// The treemap as assistive technology sees it: a list whose items are the
/// tiles of the first level (a nested view's deeper tiles are reached by
/// entering their folder, as from the keyboard), each named, described by
/// its size, share and count, and selectable. Item interfaces are made on
/// demand and dropped whenever the canvas gets new tiles.
///
/// Owned by Qt's accessibility cache. Threads: GUI thread only.
class TreemapAccessible : public QAccessibleWidget {
public:
  explicit TreemapAccessible(TreemapCanvasView *canvas);
  ~TreemapAccessible() override;

  /// Makes Qt build this interface for every canvas; idempotent.
  static void installFactory();
  /// Tells assistive technology that the keyboard's tile is now tile
  /// `index` of `canvas` (focus and selection move with it).
  static void announceKeyboardTile(TreemapCanvasView *canvas, std::size_t index);

  int childCount() const override;
  QAccessibleInterface *child(int index) const override;
  int indexOfChild(const QAccessibleInterface *child) const override;
  QAccessibleInterface *focusChild() const override;
  QAccessibleInterface *childAt(int x, int y) const override;

private:
  TreemapCanvasView *canvas() const;
  void dropItems();

  mutable std::vector<QAccessible::Id> items_; // 0: not made yet
  QMetaObject::Connection tilesChanged_;
};

} // namespace tarnwick
