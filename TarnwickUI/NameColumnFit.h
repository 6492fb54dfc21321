#pragma once

#include <QObject>

#include <vector>

class QTreeView;

namespace tarnwick {

/// Keeps the name column of a list readable however narrow the list gets.
/// The name column stretches over what the other columns leave; those keep
/// their preferred widths while the name still has its share, then shrink
/// towards their minimums and, when even that is too much, hide, the least
/// important first. The most important of them never hides. The widths are
/// worked out again whenever the view's width changes, so a column the user
/// widened by hand keeps that width only until then.
///
/// Threads: GUI thread only.
class NameColumnFit : public QObject {
  Q_OBJECT

public:
  struct Column {
    int section;
    int preferred;
    int minimum;
    /// A share of the view's width the column would rather have, when
    /// that is more than `preferred`: for text as long as the names.
    double share = 0;
  };
  /// The least the name column is left: this share of the width, and never
  /// fewer pixels than the floor (unless the whole view is narrower).
  static constexpr double nameShare = 0.4;
  static constexpr int nameFloor = 120;

  /// `others` runs from the most important column to the one that gives way
  /// first. The fit is parented to, and lives as long as, `view`.
  NameColumnFit(QTreeView *view, int nameSection, std::vector<Column> others);

  /// The widths of `others` in a view `width` pixels wide, in their order;
  /// 0 for a column that hides.
  static std::vector<int> widthsFor(int width, const std::vector<Column> &others);

protected:
  bool eventFilter(QObject *watched, QEvent *event) override;

private:
  void fit();

  QTreeView *view_;
  std::vector<Column> others_;
};

} // namespace tarnwick
