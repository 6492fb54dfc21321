#pragma once

#include "TarnwickUI/BackgroundWorkers.h"
#include "TarnwickUI/NestedTreemapPainter.h"
#include "TarnwickUI/NestedTreemapScene.h"

#include <QColor>
#include <QImage>
#include <QObject>
#include <QSize>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tarnwick {

/// A nested scene with its tiles at rest already painted, ready to show.
struct PaintedNestedScene {
  NestedTreemapScene scene;
  /// The scene painted at `layerSize` device pixels (null when not painted).
  QImage layer;
  /// The file type the layer brings forward and the change colouring it
  /// shows, as NestedTreemapPainter takes them.
  std::optional<std::string> layerFileType;
  ChangeColouring layerChanges;
};

/// Lays out and paints nested scenes on a thread of its own, so that a
/// large folder never stalls the GUI thread: tens of thousands of tiles
/// take tens of milliseconds to lay out and as many again to paint.
///
/// One job runs at a time. A request made meanwhile waits, replacing any
/// request waiting before it; only the result of the latest request is
/// delivered, so a burst of resizes costs two jobs, not one per step.
///
/// Threads: GUI thread only; `deliver` is called there, never from within
/// request() or cancel().
class NestedSceneLoader : public QObject {
  Q_OBJECT

public:
  struct Request {
    std::shared_ptr<const DiskTreeArena> arena;
    NodeID folder = 0;
    CanvasSize canvas;
    NestedTreemapLayout::Options options;
    std::optional<std::vector<NodeID>> topLevel;
    NestedTreemapPainter::Highlight highlight;
    qreal pixelRatio = 1;
  };

  explicit NestedSceneLoader(std::function<void(PaintedNestedScene)> deliver, QObject *parent = nullptr);

  void request(Request request);
  /// Forgets every request: nothing is delivered until the next one.
  void cancel();
  /// A request is waiting or being worked on.
  bool isPending() const { return pending_; }

  /// What a job does, on any thread.
  static PaintedNestedScene paint(const Request &request);

private:
  void startWaiting();

  std::function<void(PaintedNestedScene)> deliver_;
  std::optional<Request> waiting_;
  std::uint64_t generation_ = 0; // of the latest request or cancel
  bool working_ = false;
  bool pending_ = false;
  BackgroundWorkers workers_; // last: joined before the rest goes
};

} // namespace tarnwick
