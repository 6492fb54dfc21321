#pragma once

#include "TarnwickUI/CategoryShares.h"

#include <QColor>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <vector>

namespace tarnwick {

/// The sidebar's storage summary: "Total Scanned" with the root's size, a
/// bar of the tree's shares by category group, and their legend with each
/// group's size, two to a line. The shares are measured (CategoryShares).
/// What no category describes ("Other") is left as the bar's bare track, so
/// a tree of nothing categorised (an empty folder) shows an empty bar, and
/// an empty tree no legend either.
///
/// Threads: GUI thread only.
class StorageGauge : public QWidget {
  Q_OBJECT

public:
  struct Segment {
    QColor color;
    double share; // of the bar's width
    QString legend; // "Dev 1.2 GB"
    bool filled = true; // false for "Other", the bare track
  };

  explicit StorageGauge(QWidget *parent = nullptr);
  void setTotalBytes(std::int64_t bytes);
  void setShares(const CategoryShares &shares);
  std::int64_t totalBytes() const { return totalBytes_; }
  QString totalText() const;
  /// The groups that hold bytes, largest first, "Other" last.
  const std::vector<Segment> &segments() const { return segments_; }

  QSize sizeHint() const override;

protected:
  void paintEvent(QPaintEvent *event) override;

private:
  std::int64_t totalBytes_ = 0;
  std::vector<Segment> segments_;
};

} // namespace tarnwick
