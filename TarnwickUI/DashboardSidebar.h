#pragma once

#include "TarnwickCore/Catalogue/CleanableCategory.h"
#include "TarnwickCore/Tree/ScanReport.h"
#include "TarnwickUI/CategoryShares.h"

#include <QWidget>

#include <cstdint>
#include <optional>
#include <vector>

class QAbstractButton;
class QLabel;

namespace tarnwick {

class StorageGauge;

/// The explorer's left pane: the product header, the storage gauge, a note
/// when folders could not be read, and the smart-category list ("All Files"
/// first, then the ten categories) that filters the treemap. It shows the
/// filter it is given; clicks come out as `filterChosen` with the filter the
/// click asks for (the same category again clears it).
///
/// Threads: GUI thread only.
class DashboardSidebar : public QWidget {
  Q_OBJECT

public:
  explicit DashboardSidebar(QWidget *parent = nullptr);

  void setTotalBytes(std::int64_t bytes);
  /// The gauge's shares of the tree on show.
  void setCategoryShares(const CategoryShares &shares);
  /// Says under the gauge how many folders of the tree could not be read,
  /// the first of them with why in its tooltip; hidden when none. A second
  /// note says what the scan's scope left out: mount points not entered
  /// (the first of them in its tooltip) and excluded entries, led by
  /// partialScanText() for a scan stopped early.
  void setUnreadableFolders(const ScanReport &report);
  /// "partial: stopped after N entries" for a scan stopped early, else empty.
  static QString partialScanText(const ScanReport &report);
  void setSelectedCategory(std::optional<CleanableCategory> category);

  /// Row 0 is "All Files"; row i + 1 is the i-th category.
  QAbstractButton *categoryRow(int row) const;
  int categoryRowCount() const { return int(rows_.size()); }
  const StorageGauge *gauge() const { return gauge_; }
  const QLabel *unreadableNote() const { return unreadableNote_; }
  const QLabel *leftOutNote() const { return leftOutNote_; }

signals:
  void filterChosen(std::optional<tarnwick::CleanableCategory> category);

private:
  void choose(std::optional<CleanableCategory> category);

  StorageGauge *gauge_;
  QLabel *unreadableNote_;
  QLabel *leftOutNote_;
  std::vector<QAbstractButton *> rows_;
  std::optional<CleanableCategory> selected_;
};

} // namespace tarnwick
