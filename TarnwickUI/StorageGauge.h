#pragma once

#include <QColor>
#include <QWidget>

#include <array>
#include <cstdint>

namespace tarnwick {

/// The sidebar's storage summary: "Total Scanned" with the root's size, a
/// bar of four coloured segments, and their legend. The segments are fixed
/// shares of the bar (a sketch of where space usually goes), not figures
/// from the scan; only the total comes from it.
///
/// Threads: GUI thread only.
class StorageGauge : public QWidget {
  Q_OBJECT

public:
  struct Segment {
    QColor color;
    double share; // of the bar's width
    const char *legend;
  };
  static std::array<Segment, 4> segments();

  explicit StorageGauge(QWidget *parent = nullptr);
  void setTotalBytes(std::int64_t bytes);
  std::int64_t totalBytes() const { return totalBytes_; }
  QString totalText() const;

  QSize sizeHint() const override;

protected:
  void paintEvent(QPaintEvent *event) override;

private:
  std::int64_t totalBytes_ = 0;
};

} // namespace tarnwick
