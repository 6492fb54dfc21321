#include "TarnwickUI/NestedSceneLoader.h"

#include <QPainter>

namespace tarnwick {

NestedSceneLoader::NestedSceneLoader(std::function<void(PaintedNestedScene)> deliver, QObject *parent)
    : QObject(parent), deliver_(std::move(deliver)) {}

void NestedSceneLoader::request(Request request) {
  waiting_ = std::move(request);
  ++generation_;
  pending_ = true;
  if (!working_)
    startWaiting();
}

void NestedSceneLoader::cancel() {
  waiting_.reset();
  ++generation_;
  pending_ = false;
}

void NestedSceneLoader::startWaiting() {
  if (!waiting_)
    return;
  working_ = true;
  workers_.launch([this, request = std::move(*waiting_), generation = generation_] {
    auto painted = std::make_shared<PaintedNestedScene>(paint(request));
    workers_.post([this, painted, generation] {
      working_ = false;
      if (generation == generation_) {
        pending_ = false;
        deliver_(std::move(*painted));
      }
      startWaiting();
    });
  });
  waiting_.reset();
}

PaintedNestedScene NestedSceneLoader::paint(const Request &request) {
  std::optional<std::span<const NodeID>> topLevel;
  if (request.topLevel)
    topLevel = std::span<const NodeID>(*request.topLevel);
  PaintedNestedScene painted{
      NestedTreemapScene::build(request.arena, request.folder, request.canvas, request.options, topLevel), {},
      request.highlight.fileType, request.highlight.changes};
  if (painted.scene.isEmpty())
    return painted;
  const QSize size(qRound(request.canvas.width * request.pixelRatio), qRound(request.canvas.height * request.pixelRatio));
  painted.layer = NestedTreemapPainter::paintLayer(painted.scene, size, request.pixelRatio, request.highlight);
  return painted;
}

} // namespace tarnwick
