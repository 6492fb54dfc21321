#pragma once

#include "TarnwickCore/Tree/DiskTreeArena.h"
#include "TarnwickUI/BackgroundWorkers.h"

#include <QWidget>

#include <cstdint>
#include <memory>
#include <stop_token>

class QLabel;
class QLineEdit;
class QTreeView;

namespace tarnwick {

class NameSearchModel;

/// A search field over the whole tree and its results, sortable by name,
/// folder or size; choosing a result (double-click or Enter) emits
/// nodeChosen. Every edit starts a search off the GUI thread and stops the
/// one before, whose results are then dropped, so typing never waits.
///
/// Threads: GUI thread; the searches run on its workers.
class NameSearchPanel : public QWidget {
  Q_OBJECT

public:
  /// The most results listed; the status line tells how many more matched.
  static constexpr std::size_t shownLimit = 10'000;

  explicit NameSearchPanel(QWidget *parent = nullptr);
  ~NameSearchPanel() override;

  /// The tree to search; a new tree is searched again with the pattern shown.
  void setArena(std::shared_ptr<const DiskTreeArena> arena);
  QLineEdit *field() const { return field_; }
  QTreeView *results() const { return results_; }
  QString statusText() const;

signals:
  void nodeChosen(tarnwick::NodeID id);
  /// The results of the latest pattern are shown.
  void resultsShown();

private:
  void search();
  void choose(const QModelIndex &index);

  std::shared_ptr<const DiskTreeArena> arena_;
  QLineEdit *field_;
  QTreeView *results_;
  QLabel *status_;
  NameSearchModel *model_;
  std::stop_source running_;
  std::uint64_t generation_ = 0;
  BackgroundWorkers workers_; // last: joined first
};

} // namespace tarnwick
