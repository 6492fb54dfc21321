#pragma once

#include "TarnwickCore/Snapshot/ScanSnapshotStore.h"

#include <QList>
#include <QWidget>

#include <cstdint>
#include <optional>
#include <vector>

class QAbstractButton;
class QLabel;
class QVBoxLayout;

namespace quillane {

/// "Recent Scans" on the launcher: the remembered scans, newest first, a
/// row each (root, size, files, age; the date in its tooltip). A row
/// opens its scan at once; a file that cannot be read says why and opens
/// nothing. A store folder that is refused says why below the title, since
/// no scan will be remembered until it is mended. Hidden while there is
/// neither a scan nor a refusal to show.
///
/// Threads: GUI thread only.
class RecentScansList : public QWidget {
  Q_OBJECT

public:
  /// The launcher has room for this many; older scans stay in the store.
  static constexpr int maxRows = 4;

  explicit RecentScansList(QWidget *parent = nullptr);

  /// Shows `entries` (ScanSnapshotStore::list()), their ages as of `now`
  /// (seconds since 1970-01-01 UTC), and the store's `refusal`, if any.
  void setEntries(const std::vector<tarnwick::ScanSnapshotStore::Entry> &entries, std::int64_t now,
                  const std::optional<tarnwick::Failure> &refusal = std::nullopt);
  /// The rows on show; enabled when their scan can be opened.
  const QList<QAbstractButton *> &rows() const { return rows_; }
  /// Why scans are not remembered; hidden when they are.
  const QLabel *refusalLabel() const { return refusal_; }
  /// "just now", "5 minutes ago", "3 days ago"… for an age in seconds.
  static QString ageText(std::int64_t seconds);

signals:
  /// The remembered scan in `file` was chosen.
  void openRequested(const QString &file);

private:
  QLabel *refusal_;
  QVBoxLayout *rowLayout_;
  QList<QAbstractButton *> rows_;
};

} // namespace quillane
