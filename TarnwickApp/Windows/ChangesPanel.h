#pragma once

#include "TarnwickCore/Tree/DiskTreeArena.h"
#include "TarnwickUI/BackgroundWorkers.h"
#include "TarnwickUI/ChangeColouring.h"

#include <QDockWidget>

#include <cstdint>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>

class QCheckBox;
class QLabel;
class QTableView;

namespace tarnwick {
class ChangesModel;
}

namespace quillane {

/// "Changes": what changed in the tree on show since an older scan of its
/// folder, as a dock under the explorer. A header line names the older scan
/// and the total change; a check box colours the treemap by change (on at
/// first) beside the colours' legend; a table, sortable by any column, lists
/// the largest changes. Closing the dock (its own button) ends the
/// comparison.
///
/// compareWith() reads the older scan and compares it on a worker thread;
/// the dock shows when the comparison is ready, or `failed` says why there
/// is none. A later call, or clear(), drops any comparison still running.
///
/// Threads: GUI thread only.
class ChangesPanel : public QDockWidget {
  Q_OBJECT

public:
  static constexpr std::size_t rowLimit = 200;

  explicit ChangesPanel(QWidget *parent = nullptr);
  ~ChangesPanel() override;

  /// Compares `newer` with the scan in `file` (a snapshot or an export).
  void compareWith(const QString &file, std::shared_ptr<const tarnwick::DiskTreeArena> newer);
  /// Hides the dock and forgets the comparison, finished or not.
  void clear();
  bool isComparing() const { return running_.has_value(); }

  tarnwick::ChangesModel *model() const { return model_; }
  QTableView *table() const { return table_; }
  QLabel *headerLine() const { return header_; }
  QCheckBox *colourByChange() const { return colourByChange_; }
  /// What the treemap should show now: the comparison's colouring while it
  /// is on show and chosen, else inactive.
  tarnwick::ChangeColouring colouring() const;

signals:
  /// The comparison with `file` could not be made: `message` says why.
  void failed(const QString &file, const QString &message);
  /// A comparison is on show.
  void shown();
  /// colouring() changed: a comparison came or went, or the check box.
  void colouringChanged(const tarnwick::ChangeColouring &colouring);

protected:
  void closeEvent(QCloseEvent *event) override;

private:
  struct Outcome;
  /// Reads `file` and compares `newer` with it; on a worker.
  static Outcome compareOffThread(const std::string &file, const tarnwick::DiskTreeArena &newer,
                                  std::stop_token stop);
  void present(const Outcome &outcome);
  QWidget *makeLegend();

  QLabel *header_;
  QCheckBox *colourByChange_;
  QTableView *table_;
  tarnwick::ChangesModel *model_;
  std::shared_ptr<const tarnwick::TreeComparison> comparison_; // the one on show
  std::uint64_t generation_ = 0; // which compareWith() a delivered outcome answers
  std::optional<std::stop_source> running_;
  tarnwick::BackgroundWorkers workers_; // last: joined before the rest goes
};

} // namespace quillane
