#include "TarnwickUI/TreemapAccessible.h"

#include "TarnwickUI/TreemapCanvasView.h"
#include "TarnwickUI/TreemapPalette.h"
#include "TarnwickUI/WidgetStyle.h"

#include <QCoreApplication>
#include <QPointer>
#include <QWindow>

namespace tarnwick {
namespace {

// The translation context of the texts this file shows outside a QObject.
struct Texts {
  Q_DECLARE_TR_FUNCTIONS(TreemapAccessible)
};

/// One tile of the first level. Holds its canvas weakly: the canvas may go
/// before Qt's cache drops this.
class TileAccessible : public QAccessibleInterface {
public:
  TileAccessible(TreemapCanvasView *canvas, std::size_t index) : canvas_(canvas), index_(index) {}

  std::size_t index() const { return index_; }

  bool isValid() const override { return canvas_ && index_ < canvas_->firstLevelCount(); }
  QObject *object() const override { return nullptr; }
  QWindow *window() const override { return canvas_ ? canvas_->window()->windowHandle() : nullptr; }
  QAccessibleInterface *focusChild() const override { return nullptr; }
  QAccessibleInterface *childAt(int, int) const override { return nullptr; }
  QAccessibleInterface *parent() const override { return QAccessible::queryAccessibleInterface(canvas_.data()); }
  QAccessibleInterface *child(int) const override { return nullptr; }
  int childCount() const override { return 0; }
  int indexOfChild(const QAccessibleInterface *) const override { return -1; }
  void setText(QAccessible::Text, const QString &) override {}
  QAccessible::Role role() const override { return QAccessible::ListItem; }

  QString text(QAccessible::Text kind) const override {
    if (!isValid())
      return {};
    const TreemapRect tile = canvas_->describeTile(index_);
    if (kind == QAccessible::Name)
      return WidgetStyle::displayText(tile.node.name);
    if (kind != QAccessible::Description)
      return {};
    const std::int64_t count = tile.isAggregatedTail ? tile.aggregatedItemCount : tile.node.fileCount;
    return Texts::tr("%1, %2 of the folder, %3")
        .arg(TreemapPalette::formatBytes(tile.node.allocatedSize), TreemapPalette::formatPercentage(tile.fractionOfParent),
             TreemapPalette::formatItemCount(count, tile.node.isDirectory || tile.isAggregatedTail));
  }

  QRect rect() const override {
    if (!isValid())
      return {};
    const CanvasRect &f = canvas_->frameOf(index_);
    return {canvas_->mapToGlobal(QPoint(int(f.x), int(f.y))), QSize(int(f.width), int(f.height))};
  }

  QAccessible::State state() const override {
    QAccessible::State state;
    state.selectable = true;
    state.focusable = true;
    if (!isValid()) {
      state.invalid = true;
      return state;
    }
    const TreemapRect tile = canvas_->describeTile(index_);
    state.selected = !tile.isAggregatedTail && canvas_->selectedNodeID() == tile.id;
    state.focused = canvas_->hasFocus() && canvas_->keyboardIndex() == index_;
    return state;
  }

private:
  QPointer<TreemapCanvasView> canvas_;
  std::size_t index_;
};

QAccessibleInterface *makeInterface(const QString &, QObject *object) {
  if (auto *canvas = qobject_cast<TreemapCanvasView *>(object))
    return new TreemapAccessible(canvas);
  return nullptr;
}

} // namespace

TreemapAccessible::TreemapAccessible(TreemapCanvasView *canvas)
    : QAccessibleWidget(canvas, QAccessible::List, canvas->accessibleName()) {
  tilesChanged_ = QObject::connect(canvas, &TreemapCanvasView::tilesChanged, canvas, [this] { dropItems(); });
}

TreemapAccessible::~TreemapAccessible() {
  QObject::disconnect(tilesChanged_);
  dropItems();
}

namespace {
// Registered as the program loads, before any canvas exists: Qt caches the
// first interface asked for (a widget's constructor already asks), and
// without the factory that would be a plain widget's.
[[maybe_unused]] const bool registeredAtLoad = (TreemapAccessible::installFactory(), true);
} // namespace

void TreemapAccessible::installFactory() {
  static const bool installed = [] {
    QAccessible::installFactory(makeInterface);
    return true;
  }();
  (void)installed;
}

TreemapCanvasView *TreemapAccessible::canvas() const { return static_cast<TreemapCanvasView *>(widget()); }

void TreemapAccessible::dropItems() {
  for (QAccessible::Id id : items_)
    if (id != 0)
      QAccessible::deleteAccessibleInterface(id);
  items_.clear();
}

int TreemapAccessible::childCount() const { return int(canvas()->firstLevelCount()); }

QAccessibleInterface *TreemapAccessible::child(int index) const {
  if (index < 0 || index >= childCount())
    return nullptr;
  if (items_.size() < std::size_t(childCount()))
    items_.resize(std::size_t(childCount()), 0);
  QAccessible::Id &id = items_[std::size_t(index)];
  if (id == 0)
    id = QAccessible::registerAccessibleInterface(new TileAccessible(canvas(), std::size_t(index)));
  return QAccessible::accessibleInterface(id);
}

int TreemapAccessible::indexOfChild(const QAccessibleInterface *child) const {
  const auto *tile = dynamic_cast<const TileAccessible *>(child);
  return tile && tile->parent() == this ? int(tile->index()) : -1;
}

QAccessibleInterface *TreemapAccessible::focusChild() const {
  const std::optional<std::size_t> index = canvas()->keyboardIndex();
  return canvas()->hasFocus() && index ? child(int(*index)) : nullptr;
}

QAccessibleInterface *TreemapAccessible::childAt(int x, int y) const {
  const QPoint at = canvas()->mapFromGlobal(QPoint(x, y));
  for (std::size_t i = 0; i < canvas()->firstLevelCount(); ++i) {
    const CanvasRect &f = canvas()->frameOf(i);
    if (at.x() >= f.x && at.x() < f.x + f.width && at.y() >= f.y && at.y() < f.y + f.height)
      return child(int(i));
  }
  return nullptr;
}

void TreemapAccessible::announceKeyboardTile(TreemapCanvasView *canvas, std::size_t index) {
  if (index >= canvas->firstLevelCount()) // deeper tiles are not items of the list
    return;
  QAccessibleEvent focus(canvas, QAccessible::Focus);
  focus.setChild(int(index));
  QAccessible::updateAccessibility(&focus);
  QAccessibleEvent selection(canvas, QAccessible::Selection);
  selection.setChild(int(index));
  QAccessible::updateAccessibility(&selection);
}

} // namespace tarnwick
