#include "TarnwickUI/TreemapCanvasView.h"

#include "TarnwickCore/Tree/FileTypeUsage.h"
#include "TarnwickUI/FileManagerReveal.h"
#include "TarnwickUI/NestedTreemapPainter.h"
#include "TarnwickUI/NodeContextMenu.h"
#include "TarnwickUI/SquarifiedTreemapLayout.h"
#include "TarnwickUI/SymbolIcons.h"
#include "TarnwickUI/TreemapAccessible.h"
#include "TarnwickUI/TreemapTilePainter.h"
#include "TarnwickUI/TreemapTooltip.h"
#include "TarnwickUI/WidgetStyle.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QEasingCurve>
#include <QMenu>
#include <QMetaMethod>
#include <QMouseEvent>
#include <QPainter>
#include <QVariantAnimation>

#include <algorithm>

namespace tarnwick {
namespace {

// The folder-change zoom: about a third of a second, settling with a
// slight overshoot like a lightly damped spring.
constexpr int zoomMilliseconds = 320;
constexpr int filterFadeMilliseconds = 150;

QEasingCurve springCurve() {
  QEasingCurve curve(QEasingCurve::OutBack);
  curve.setOvershoot(0.6);
  return curve;
}

QRectF lerp(const QRectF &from, const QRectF &to, qreal t) {
  auto mix = [t](qreal a, qreal b) { return a + (b - a) * t; };
  return {mix(from.x(), to.x()), mix(from.y(), to.y()), mix(from.width(), to.width()), mix(from.height(), to.height())};
}

} // namespace

TreemapCanvasView::TreemapCanvasView(QWidget *parent)
    : QWidget(parent), tooltip_(new TreemapTooltip(this)), zoom_(new QVariantAnimation(this)) {
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus); // arrows, Enter, Delete and the menu key act on tiles
  setAccessibleName(tr("Treemap"));
  TreemapAccessible::installFactory();
  setAttribute(Qt::WA_OpaquePaintEvent, false);
  setContextMenuPolicy(Qt::DefaultContextMenu);
  setMinimumSize(120, 80);
  zoom_->setDuration(zoomMilliseconds);
  zoom_->setEasingCurve(springCurve());
  zoom_->setStartValue(0.0);
  zoom_->setEndValue(1.0);
  connect(zoom_, &QVariantAnimation::valueChanged, this, [this] { update(); });
}

void TreemapCanvasView::setRects(std::vector<TreemapRect> rects) {
  rects_ = std::move(rects);
  scene_ = NestedTreemapScene();
  replaceTiles();
}

void TreemapCanvasView::setScene(NestedTreemapScene scene) {
  scene_ = std::move(scene);
  rects_.clear();
  replaceTiles();
}

void TreemapCanvasView::setScene(PaintedNestedScene painted) {
  setScene(std::move(painted.scene));
  const qreal ratio = devicePixelRatioF();
  if (painted.layerFileType == highlightedType_ && painted.layerChanges == changes_ &&
      painted.layer.devicePixelRatio() == ratio &&
      painted.layer.size() == size() * ratio)
    tileLayer_ = std::move(painted.layer);
}

void TreemapCanvasView::setTilesPending(bool pending) {
  tilesPending_ = pending;
  if (!pending)
    pendingZoom_.reset();
}

void TreemapCanvasView::replaceTiles() {
  tilesPending_ = false;
  tileLayer_ = QImage(); // drawn again on the next paint
  // The tiles moved under a pointer that may not have (a drill-down, a new
  // tree, a resize): what it points at is found again, so that the tooltip
  // and the actions describe the tile there now.
  hoveredIndex_.reset();
  hoveredRect_.reset();
  keyTile_.reset();
  if (isHoverActive_)
    hover(cursorLocation_);
  if (pendingZoom_) {
    animateFolderChange(*pendingZoom_);
    pendingZoom_.reset();
  }
  update();
  emit tilesChanged();
}

void TreemapCanvasView::setSelectedNodeID(std::optional<NodeID> id) {
  if (selectedNodeID_ == id)
    return;
  selectedNodeID_ = id;
  update();
}

void TreemapCanvasView::animateFolderChange(QRectF from) {
  zoomFrom_ = from;
  zoom_->stop();
  zoom_->setDuration(zoomMilliseconds);
  zoom_->setEasingCurve(springCurve());
  zoom_->start();
}

void TreemapCanvasView::animateFilterChange() {
  zoomFrom_ = QRectF(rect());
  zoom_->stop();
  zoom_->setDuration(filterFadeMilliseconds);
  zoom_->setEasingCurve(QEasingCurve::InOutQuad);
  zoom_->start();
}

void TreemapCanvasView::paintEvent(QPaintEvent *) {
  QPainter painter(this);
  if (zoom_->state() == QAbstractAnimation::Running) {
    // Map the whole canvas onto the growing rectangle.
    const QRectF full(rect());
    const QRectF now = lerp(zoomFrom_, full, zoom_->currentValue().toReal());
    painter.translate(now.topLeft());
    painter.scale(now.width() / std::max(1.0, full.width()), now.height() / std::max(1.0, full.height()));
    painter.setOpacity(std::clamp(0.35 + zoom_->currentValue().toReal(), 0.0, 1.0));
  }
  const qreal ratio = devicePixelRatioF();
  if (tilesPending_) {
    painter.drawImage(QRectF(rect()), tileLayer_); // stale, but no layer is painted here meanwhile
    return;
  }
  if (tileLayer_.isNull() || tileLayer_.devicePixelRatio() != ratio || tileLayer_.size() != size() * ratio)
    renderTileLayer(ratio);
  painter.drawImage(QPointF(0, 0), tileLayer_);
  paintMarks(painter);
  paintKeyboardMarks(painter);
}

void TreemapCanvasView::paintMarks(QPainter &painter) {
  const std::optional<std::size_t> selected = selectedNodeID_ ? indexOfNode(*selectedNodeID_) : std::nullopt;
  if (!scene_.isEmpty()) {
    if (hoveredIndex_)
      NestedTreemapPainter::paintMark(painter, scene_.tiles()[*hoveredIndex_].frame, false);
    if (selected)
      NestedTreemapPainter::paintMark(painter, scene_.tiles()[*selected].frame, true);
    return;
  }
  // The layer holds every tile at rest; the hovered one is drawn again on
  // top (its fill is opaque, so it hides the resting one), and the selected
  // one gets its outline.
  if (hoveredIndex_)
    TreemapTilePainter::paint(painter, std::span(&rects_[*hoveredIndex_], 1), rects_[*hoveredIndex_].id, selectedNodeID_,
                              changes_);
  if (selected && selected != hoveredIndex_)
    TreemapTilePainter::paintOutline(painter, rects_[*selected], true);
}

void TreemapCanvasView::renderTileLayer(qreal ratio) {
  const QColor dim = palette().color(QPalette::Window);
  if (!scene_.isEmpty()) { // as the layout thread paints it
    tileLayer_ = NestedTreemapPainter::paintLayer(scene_, size() * ratio, ratio, {highlightedType_, dim, changes_});
    return;
  }
  tileLayer_ = QImage(size() * ratio, QImage::Format_ARGB32_Premultiplied);
  tileLayer_.setDevicePixelRatio(ratio);
  tileLayer_.fill(Qt::transparent);
  QPainter layer(&tileLayer_);
  TreemapTilePainter::paint(layer, rects_, std::nullopt, std::nullopt, changes_);
  if (!highlightedType_)
    return;
  // Folders and the tail hold files of any type, so they dim with the rest.
  for (const TreemapRect &tile : rects_) {
    if (!tile.node.isDirectory && !tile.isAggregatedTail && fileTypeOf(tile.node.name) == *highlightedType_)
      continue;
    const CanvasRect &r = tile.insetFrame;
    layer.fillRect(QRectF(r.x, r.y, r.width, r.height), QColor(dim.red(), dim.green(), dim.blue(), 180));
  }
}

void TreemapCanvasView::setHighlightedFileType(std::optional<std::string> type) {
  if (type == highlightedType_)
    return;
  highlightedType_ = std::move(type);
  tileLayer_ = QImage(); // drawn again at the next paint
  update();
}

void TreemapCanvasView::setChangeColouring(ChangeColouring changes) {
  if (changes == changes_)
    return;
  changes_ = std::move(changes);
  // While new tiles are on their way, the stale layer stays on show: they
  // bring the new colours.
  if (!tilesPending_)
    tileLayer_ = QImage();
  update();
}

std::optional<std::size_t> TreemapCanvasView::indexAt(QPointF location) const {
  const CanvasPoint point{location.x(), location.y()};
  return scene_.isEmpty() ? SquarifiedTreemapLayout::hitTestIndex(point, rects_) : scene_.tileAt(point);
}

TreemapRect TreemapCanvasView::describeTile(std::size_t index) const {
  return scene_.isEmpty() ? rects_.at(index) : scene_.describe(index);
}

QString TreemapCanvasView::hoveredName() const {
  if (scene_.isEmpty() || !hoveredIndex_ || !hoveredRect_ || scene_.tiles()[*hoveredIndex_].depth == 0)
    return {};
  // Below the first level a name alone does not say where the tile is.
  const std::string path = scene_.relativePath(*hoveredIndex_);
  return hoveredRect_->isAggregatedTail ? WidgetStyle::displayText(path) + QStringLiteral("/") + WidgetStyle::displayText(hoveredRect_->node.name)
                                        : WidgetStyle::displayText(path);
}

std::optional<std::size_t> TreemapCanvasView::indexOfNode(NodeID id) const {
  if (!scene_.isEmpty())
    return scene_.indexOf(id);
  const auto found = std::ranges::find(rects_, id, &TreemapRect::id);
  return found == rects_.end() ? std::nullopt : std::optional(std::size_t(found - rects_.begin()));
}

std::optional<TreemapRect> TreemapCanvasView::tileFor(NodeID id) const {
  const std::optional<std::size_t> index = indexOfNode(id);
  return index ? std::optional(describeTile(*index)) : std::nullopt;
}

void TreemapCanvasView::hover(QPointF location) {
  cursorLocation_ = location;
  isHoverActive_ = true;
  const std::optional<std::size_t> index = indexAt(location);
  const bool moved = index != hoveredIndex_;
  // Described again when the tile changed, or when the tooltip was hidden
  // under a menu or message and may come back.
  const bool describe = moved || index.has_value() != tooltip_->isPresenting();
  hoveredIndex_ = index;
  if (moved) {
    hoveredRect_ = index ? std::optional(describeTile(*index)) : std::nullopt;
    const bool enterable = hoveredRect_ && (hoveredRect_->node.isDirectory || hoveredRect_->isAggregatedTail);
    setCursor(enterable ? Qt::PointingHandCursor : Qt::ArrowCursor);
    update();
  }
  if (describe)
    tooltip_->present(isCovered() ? std::nullopt : hoveredRect_, hoveredName(), changes_);
  tooltip_->follow(cursorLocation_);
}

void TreemapCanvasView::mouseMoveEvent(QMouseEvent *event) { hover(event->position()); }

bool TreemapCanvasView::isCovered() const {
  return QApplication::activePopupWidget() || QApplication::activeModalWidget();
}

void TreemapCanvasView::changeEvent(QEvent *event) {
  // A message or another window took the keyboard: the tooltip would float
  // over it. It comes back when the pointer moves here again.
  if (event->type() == QEvent::ActivationChange && !isActiveWindow())
    tooltip_->present(std::nullopt);
  QWidget::changeEvent(event);
}

void TreemapCanvasView::leaveEvent(QEvent *) {
  isHoverActive_ = false;
  if (hoveredIndex_) {
    hoveredIndex_.reset();
    hoveredRect_.reset();
    update();
  }
  tooltip_->present(std::nullopt);
}

void TreemapCanvasView::mouseReleaseEvent(QMouseEvent *event) {
  if (event->button() != Qt::LeftButton || tilesPending_)
    return;
  const std::optional<std::size_t> index = indexAt(event->position());
  if (!index)
    return;
  const TreemapRect hit = describeTile(*index);
  if (hit.isAggregatedTail)
    requestTail(hit, *index);
  else if (hit.node.isDirectory)
    requestDrillDown(hit);
  else
    emit selectNode(hit.node);
}

void TreemapCanvasView::requestTail(const TreemapRect &tile, std::size_t index) {
  std::vector<NodeID> tiled;
  NodeID folder = tile.node.parentID.value_or(0);
  if (scene_.isEmpty()) {
    for (const TreemapRect &other : rects_)
      if (!other.isAggregatedTail)
        tiled.push_back(other.id);
  } else {
    const NestedTile &tail = scene_.tiles().at(index);
    folder = tail.parentID;
    for (const NestedTile &other : scene_.tiles())
      if (other.parentTile == tail.parentTile && other.id != SquarifiedTreemapLayout::syntheticTailNodeID)
        tiled.push_back(other.id);
  }
  const CanvasRect &frame = tile.frame;
  pendingZoom_ = QRectF(frame.x, frame.y, frame.width, frame.height);
  emit openTail(folder, tiled);
  if (!tilesPending_)
    pendingZoom_.reset();
}

void TreemapCanvasView::requestDrillDown(const TreemapRect &tile) {
  const CanvasRect &frame = tile.frame;
  pendingZoom_ = QRectF(frame.x, frame.y, frame.width, frame.height);
  emit drillDown(tile.id);
  if (!tilesPending_)
    pendingZoom_.reset(); // nobody laid out new tiles: nothing to animate
}

void TreemapCanvasView::reveal(const DiskNode &node) {
  if (isSignalConnected(QMetaMethod::fromSignal(&TreemapCanvasView::revealInFinder)))
    emit revealInFinder(node);
  else
    FileManagerReveal::reveal(node.path);
}

QMenu *TreemapCanvasView::contextMenuContent(QWidget *parent) {
  if (!hoveredRect_ || !hoveredIndex_)
    return new QMenu(parent);
  const TreemapRect tile = *hoveredRect_;
  if (tile.isAggregatedTail) {
    // Not a place on disk: it can only be opened.
    auto *menu = new QMenu(parent);
    menu->addAction(SymbolIcons::icon("arrow.down.forward.and.arrow.up.backward"), tr("Show Smaller Items"),
                    this, [this, tile, index = *hoveredIndex_] { requestTail(tile, index); });
    return menu;
  }
  const NodeContextMenu content{cleaningRefusal_, cleaningRefusal_ || !trashRefusalCheck_
                                                      ? std::nullopt
                                                      : trashRefusalCheck_(tile.node.path)};
  return content.build(tile.node,
                       {[this, tile] { requestDrillDown(tile); }, [this, node = tile.node] { emit rescanFolder(node); },
                        [this, node = tile.node] { reveal(node); }, [this, node = tile.node] { emit moveToTrash(node); }},
                       parent);
}

void TreemapCanvasView::contextMenuEvent(QContextMenuEvent *event) {
  if (tilesPending_)
    return;
  QPoint at = event->globalPos();
  if (!describeKeyboardTileForMenu(event, at)) {
    // The tile under the pointer. From the keyboard with no tile chosen, the
    // event's own position is the canvas's middle, which nobody chose: the
    // pointer must be over the canvas.
    const bool fromKeyboard = event->reason() == QContextMenuEvent::Keyboard;
    if (fromKeyboard && !isHoverActive_)
      return;
    const QPointF pointer = fromKeyboard ? cursorLocation_ : QPointF(event->pos());
    hover(pointer);
    at = mapToGlobal(pointer).toPoint();
    // The menu acts on that tile, so the selection shows it.
    if (hoveredRect_ && !hoveredRect_->isAggregatedTail && selectedNodeID_ != hoveredRect_->id)
      emit selectionMoved(hoveredRect_->id);
  }
  tooltip_->present(std::nullopt); // not under the menu
  QMenu *menu = contextMenuContent(this);
  menu->setAttribute(Qt::WA_DeleteOnClose);
  if (menu->isEmpty()) {
    delete menu;
    return;
  }
  menu->popup(at);
}

} // namespace tarnwick
