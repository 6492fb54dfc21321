#pragma once

#include "TarnwickCore/Deletion/TrashCatalogue.h"
#include "TarnwickUI/BackgroundWorkers.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <optional>
#include <stop_token>
#include <vector>

namespace tarnwick {

/// The state behind the Trash view: the user's Trash as last listed, and
/// restoring or emptying it with progress and a one-line outcome. After
/// every restore or emptying it lists the Trash again.
///
/// One operation runs at a time: while busy, restore() and empty() are
/// ignored, and refresh() only replaces a running listing.
///
/// Threads: GUI thread only; listing, restoring and emptying run on worker
/// threads, asked to stop and joined when the controller is destroyed.
class TrashController : public QObject {
  Q_OBJECT

public:
  explicit TrashController(TrashCatalogue catalogue, QObject *parent = nullptr);
  ~TrashController() override;

  /// In the listing's order (oldest deletion first). Empty until listed.
  const std::vector<TrashedItem> &items() const { return listing_.items; }
  std::int64_t totalBytes() const { return listing_.totalBytes(); }
  /// Trash folders that exist but could not be used or read completely.
  const std::vector<std::string> &problems() const { return listing_.problems; }
  bool hasListed() const { return hasListed_; }

  bool isListing() const { return isListing_; }
  bool isRestoring() const { return isRestoring_; }
  bool isEmptying() const { return isEmptying_; }
  bool isBusy() const { return isListing_ || isRestoring_ || isEmptying_; }
  /// While emptying, the last progress reported; nothing otherwise.
  const std::optional<TrashEmptyProgress> &emptyProgress() const { return progress_; }
  const std::optional<TrashEmptyReport> &lastEmptyReport() const { return report_; }

  /// What the last restore or emptying did, for a status line; empty before
  /// the first. `lastSucceeded` is false when anything failed.
  const QString &lastMessage() const { return message_; }
  bool lastSucceeded() const { return succeeded_; }

  /// Lists the Trash again (replacing a running listing).
  void refresh();
  /// Moves the items at these indices of items() back to their original
  /// paths; an item that cannot go back stays, and the message says why.
  void restore(const std::vector<std::size_t> &indices);
  /// Removes every listed item for good (the user confirmed it).
  void empty();
  /// Stops an emptying before its next item; it reports what it did.
  void cancel();

signals:
  void itemsChanged();
  void busyChanged();
  void progressChanged();
  void messageChanged();
  /// Items went back to these paths (at least one) in a restore.
  void itemsRestored(const std::vector<std::string> &paths);

private:
  struct Restored;
  void finishRestore(const std::vector<Restored> &outcomes);
  void finishEmpty(TrashEmptyReport report);
  void setMessage(QString text, bool succeeded);

  const TrashCatalogue catalogue_;
  TrashListing listing_;
  bool hasListed_ = false;
  bool isListing_ = false;
  bool isRestoring_ = false;
  bool isEmptying_ = false;
  std::optional<TrashEmptyProgress> progress_;
  std::optional<TrashEmptyReport> report_;
  QString message_;
  bool succeeded_ = true;
  std::uint64_t listGeneration_ = 0;
  std::stop_source activeListing_;
  std::stop_source activeEmptying_;
  BackgroundWorkers workers_; // last: destroyed (joined) first
};

} // namespace tarnwick
