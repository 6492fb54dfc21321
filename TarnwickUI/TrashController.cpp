#include "TarnwickUI/TrashController.h"

#include "TarnwickUI/TreemapPalette.h"
#include "TarnwickUI/WidgetStyle.h"

#include <memory>

namespace tarnwick {

/// One item's restore, carried from the worker to the GUI thread.
struct TrashController::Restored {
  std::string backAt;  // where it is now, when it went back
  std::string failure; // why it stays in the Trash, otherwise
};

namespace {

QString sentence(QString text) {
  if (!text.isEmpty())
    text[0] = text[0].toUpper();
  return text.endsWith(QLatin1Char('.')) ? text : text + QLatin1Char('.');
}

} // namespace

TrashController::TrashController(TrashCatalogue catalogue, QObject *parent)
    : QObject(parent), catalogue_(std::move(catalogue)) {}

TrashController::~TrashController() {
  activeListing_.request_stop();
  activeEmptying_.request_stop(); // workers_, the last member, then joins them
}

void TrashController::refresh() {
  if (isRestoring_ || isEmptying_)
    return; // each lists again when it ends
  activeListing_.request_stop();
  activeListing_ = std::stop_source();
  const std::uint64_t generation = ++listGeneration_;
  const bool wasBusy = isBusy();
  isListing_ = true;
  if (!wasBusy)
    emit busyChanged();
  workers_.launch([this, generation, stop = activeListing_.get_token()] {
    auto listing = std::make_shared<TrashListing>();
    try {
      *listing = catalogue_.list(stop);
    } catch (const std::exception &error) {
      // Out of memory or threads: nothing listed, and the view stays usable.
      listing->problems.push_back(std::string("the Trash could not be listed: ") + error.what());
    }
    workers_.post([this, generation, listing] {
      if (generation != listGeneration_ || listing->cancelled)
        return; // replaced by a newer listing
      listing_ = std::move(*listing);
      hasListed_ = true;
      isListing_ = false;
      emit itemsChanged();
      emit busyChanged();
    });
  }, BackgroundWorkers::Priority::background);
}

void TrashController::restore(const std::vector<std::size_t> &indices) {
  if (isBusy())
    return;
  std::vector<TrashedItem> chosen;
  for (std::size_t index : indices)
    if (index < listing_.items.size())
      chosen.push_back(listing_.items[index]);
  if (chosen.empty())
    return;
  isRestoring_ = true;
  emit busyChanged();
  workers_.launch([this, chosen = std::move(chosen)] {
    auto outcomes = std::make_shared<std::vector<Restored>>();
    for (const TrashedItem &item : chosen) {
      Restored outcome;
      try {
        if (Result<std::string> back = catalogue_.restore(item))
          outcome.backAt = *back;
        else
          outcome.failure = back.failure().message(); // "cannot restore PATH: why"
      } catch (const std::exception &error) {
        outcome.failure = "cannot restore " + item.originalPath + ": " + error.what();
      }
      outcomes->push_back(std::move(outcome));
    }
    workers_.post([this, outcomes] { finishRestore(*outcomes); });
  });
}

void TrashController::finishRestore(const std::vector<Restored> &outcomes) {
  std::size_t restored = 0;
  QStringList failures;
  for (const Restored &outcome : outcomes) {
    if (outcome.failure.empty())
      ++restored;
    else
      failures << sentence(WidgetStyle::displayText(outcome.failure));
  }
  QString text;
  if (restored == 1 && failures.isEmpty())
    text = tr("Restored %1.").arg(WidgetStyle::displayText(outcomes.front().backAt));
  else if (restored > 0)
    text = tr("Restored %L1 of %Ln item(s).", nullptr, int(outcomes.size())).arg(restored);
  if (!failures.isEmpty())
    text = (text.isEmpty() ? QString() : text + QLatin1Char(' ')) + failures.join(QLatin1Char(' '));
  isRestoring_ = false;
  setMessage(text, failures.isEmpty());
  refresh(); // announces the change of busyness: from restoring to listing
  std::vector<std::string> backAt;
  for (const Restored &outcome : outcomes)
    if (outcome.failure.empty())
      backAt.push_back(outcome.backAt);
  if (!backAt.empty())
    emit itemsRestored(backAt);

}

void TrashController::empty() {
  if (isBusy() || listing_.items.empty())
    return;
  activeEmptying_ = std::stop_source();
  isEmptying_ = true;
  progress_.reset();
  emit busyChanged();
  workers_.launch([this, items = listing_.items, stop = activeEmptying_.get_token()] {
    auto onProgress = [this](const TrashEmptyProgress &progress) {
      workers_.post([this, progress] {
        progress_ = progress;
        emit progressChanged();
      });
    };
    TrashEmptyReport report;
    try {
      report = catalogue_.empty(items, onProgress, stop);
    } catch (const std::exception &error) {
      report.failures.emplace_back(catalogue_.homeTrash(), error.what());
    }
    workers_.post([this, report = std::move(report)]() mutable { finishEmpty(std::move(report)); });
  });
}

void TrashController::finishEmpty(TrashEmptyReport report) {
  const QString freed = TreemapPalette::formatBytes(report.freedBytes);
  QString text = report.cancelled ? tr("Stopped emptying the Trash after freeing %1.").arg(freed)
                                  : tr("Emptied the Trash, freeing %1.").arg(freed);
  if (!report.failures.empty()) {
    const auto &[path, why] = report.failures.front();
    text += tr(" %1 could not be removed; %2: %3")
                .arg(TreemapPalette::formatItemCount(std::int64_t(report.failures.size()), true),
                     WidgetStyle::displayText(path), sentence(WidgetStyle::displayText(why)));
  }
  const bool succeeded = report.failures.empty() && !report.cancelled;
  report_ = std::move(report);
  progress_.reset();
  isEmptying_ = false;
  setMessage(text, succeeded);
  refresh(); // announces the change of busyness: from emptying to listing

}

void TrashController::cancel() { activeEmptying_.request_stop(); }

void TrashController::setMessage(QString text, bool succeeded) {
  message_ = std::move(text);
  succeeded_ = succeeded;
  emit messageChanged();
}

} // namespace tarnwick
