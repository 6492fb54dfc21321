#include "TarnwickUI/SizeloomDashboardView.h"

#include "TarnwickUI/DashboardActionBar.h"
#include "TarnwickUI/DashboardSidebar.h"
#include "TarnwickUI/FileManagerReveal.h"
#include "TarnwickUI/SquarifiedTreemapLayout.h"
#include "TarnwickUI/SplitterMemory.h"
#include "TarnwickUI/SymbolIcons.h"
#include "TarnwickUI/TreeListView.h"
#include "TarnwickUI/TreemapBreadcrumbBar.h"
#include "TarnwickUI/TreemapCanvasView.h"
#include "TarnwickUI/WidgetStyle.h"

#include <QAbstractButton>
#include <QEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPointer>
#include <QSplitter>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace tarnwick {
namespace {

using namespace WidgetStyle;

/// The folder at the end of `chain` (a path in an older scan of the same
/// root) in `tree`: the same names followed from the root. Absent when the
/// tree has another root or lacks any step.
std::optional<NodeID> samePlace(const DiskTreeArena &tree, const std::vector<DiskNode> &chain) {
  if (!tree.rootNode() || chain.empty() || tree.rootPath() != chain.front().path)
    return std::nullopt; // another tree: its folders only share names
  NodeID at = 0;
  for (std::size_t step = 1; step < chain.size(); ++step) {
    const DiskTreeArena::Record &record = tree.record(at);
    std::optional<NodeID> next;
    for (std::uint32_t i = 0; i < record.childCount && !next; ++i)
      if (tree.name(record.firstChildID + NodeID(i)) == chain[step].name)
        next = record.firstChildID + NodeID(i);
    if (!next)
      return std::nullopt;
    at = *next;
  }
  return at;
}

constexpr NodeID tailID = SquarifiedTreemapLayout::syntheticTailNodeID;

} // namespace

SizeloomDashboardView::SizeloomDashboardView(std::shared_ptr<const DiskTreeArena> arena,
                                             std::optional<NodeID> initialNodeID, QWidget *parent)
    : QWidget(parent), arena_(std::move(arena)), currentNodeID_(initialNodeID.value_or(0)),
      splitter_(new QSplitter(Qt::Horizontal, this)), sidebar_(new DashboardSidebar(splitter_)),
      sceneLoader_([this](PaintedNestedScene painted) { showScene(std::move(painted)); }) {
  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(splitter_);
  splitter_->addWidget(sidebar_);
  splitter_->addWidget(makeMainColumn());
  splitter_->setHandleWidth(1);
  splitter_->setChildrenCollapsible(false);
  // The column takes space before the sidebar.
  splitter_->setStretchFactor(0, 0);
  splitter_->setStretchFactor(1, 1);
  splitter_->setSizes({290, 780});
  SplitterMemory::remember(splitter_, QStringLiteral("layout/sidebarSplitter"));

  connect(sidebar_, &DashboardSidebar::filterChosen, this, &SizeloomDashboardView::setSelectedCategory);
  connect(breadcrumbBar_, &TreemapBreadcrumbBar::navigateTo, this, [this](NodeID id) {
    if (id != tailID) // the opened tail's own crumb: already on show
      navigate(id, true);
  });
  connect(breadcrumbBar_, &TreemapBreadcrumbBar::goBack, this, &SizeloomDashboardView::goBack);
  connect(breadcrumbBar_, &TreemapBreadcrumbBar::rescan, this, [this] {
    if (arena_ && arena_->isValid(currentNodeID_) && !cleaningRefusal_)
      emit rescanFolder(arena_->path(currentNodeID_));
  });
  const auto rescanUnlessRefused = [this](const DiskNode &node) {
    if (!cleaningRefusal_)
      emit rescanFolder(node.path);
  };
  connect(canvas_, &TreemapCanvasView::rescanFolder, this, rescanUnlessRefused);
  connect(canvas_, &TreemapCanvasView::selectNode, this, &SizeloomDashboardView::toggleSelection);
  connect(canvas_, &TreemapCanvasView::selectionMoved, this, &SizeloomDashboardView::setSelectedNodeID);
  connect(canvas_, &TreemapCanvasView::drillDown, this, [this](NodeID id) { navigate(id, false); });
  connect(canvas_, &TreemapCanvasView::openTail, this, &SizeloomDashboardView::openTail);
  const auto trashUnlessRefused = [this](const DiskNode &node) {
    if (!cleaningRefusal_)
      emit moveToTrash(node);
  };
  connect(canvas_, &TreemapCanvasView::moveToTrash, this, trashUnlessRefused);
  connect(canvas_, &TreemapCanvasView::revealInFinder, this, &SizeloomDashboardView::reveal);
  connect(treeList_, &TreeListView::nodeSelected, this, &SizeloomDashboardView::setSelectedNodeID);
  connect(treeList_, &TreeListView::enterFolder, this, &SizeloomDashboardView::navigateTo);
  connect(treeList_, &TreeListView::moveToTrash, this, trashUnlessRefused);
  connect(treeList_, &TreeListView::rescanFolder, this, rescanUnlessRefused);
  connect(treeList_, &TreeListView::revealInFileManager, this, &SizeloomDashboardView::reveal);
  connect(actionBar_, &DashboardActionBar::revealRequested, this, &SizeloomDashboardView::reveal);
  connect(actionBar_, &DashboardActionBar::moveToTrashRequested, this, trashUnlessRefused);
  connect(actionBar_, &DashboardActionBar::smartCleanRequested, this, [this] {
    if (!cleaningRefusal_)
      emit cleanCategory(selectedCategory_);
  });
  canvas_->installEventFilter(this);
  refreshChrome();
  relayout();
}

QWidget *SizeloomDashboardView::makeMainColumn() {
  auto *column = new QWidget(splitter_);
  column->setMinimumWidth(500);
  auto *layout = new QVBoxLayout(column);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  breadcrumbBar_ = new TreemapBreadcrumbBar(column);
  contentSplitter_ = new QSplitter(Qt::Horizontal, column);
  container_ = new QStackedWidget(contentSplitter_);
  canvas_ = new TreemapCanvasView(container_);
  emptyMessage_ = makeEmptyMessage();
  container_->addWidget(canvas_);
  container_->addWidget(emptyMessage_);
  treeList_ = new TreeListView(contentSplitter_);
  treeList_->hide();
  contentSplitter_->addWidget(container_);
  contentSplitter_->addWidget(treeList_);
  contentSplitter_->setHandleWidth(1);
  contentSplitter_->setChildrenCollapsible(false);
  contentSplitter_->setSizes({450, 550});
  SplitterMemory::remember(contentSplitter_, QStringLiteral("layout/listSplitter"));
  actionBar_ = new DashboardActionBar(column);
  layout->addWidget(breadcrumbBar_);
  layout->addWidget(contentSplitter_, 1);
  layout->addWidget(actionBar_);
  return column;
}

QWidget *SizeloomDashboardView::makeEmptyMessage() {
  auto *message = new QWidget(container_);
  auto *layout = new QVBoxLayout(message);
  layout->setSpacing(12);
  layout->addStretch();
  auto *symbol = new QLabel(message);
  followPalette(symbol, [symbol] {
    symbol->setPixmap(SymbolIcons::tinted("folder.badge.questionmark", 38, secondaryText(0.5), symbol->devicePixelRatioF()));
  });
  symbol->setAlignment(Qt::AlignCenter);
  auto *text = new QLabel(tr("This folder is empty or has zero allocated space"), message);
  text->setFont(textFont(13, QFont::Medium));
  text->setAlignment(Qt::AlignCenter);
  QPalette muted = text->palette();
  muted.setColor(QPalette::WindowText, secondaryText());
  text->setPalette(muted);
  layout->addWidget(symbol);
  layout->addWidget(text);
  layout->addStretch();
  return message;
}

void SizeloomDashboardView::setArena(std::shared_ptr<const DiskTreeArena> arena) {
  const std::vector<DiskNode> chain = arena_ ? arena_->breadcrumbChain(currentNodeID_) : std::vector<DiskNode>{};
  arena_ = std::move(arena);
  currentNodeID_ = arena_ ? samePlace(*arena_, chain).value_or(0) : 0;
  shownItems_.reset(); // identifiers of the old tree
  selectedNodeID_.reset();
  canvas_->setSelectedNodeID(std::nullopt);
  refreshChrome();
  relayout();
}

void SizeloomDashboardView::navigateTo(NodeID id) { navigate(id, true); }

void SizeloomDashboardView::navigate(NodeID id, bool animate) {
  currentNodeID_ = id;
  shownItems_.reset();
  selectedNodeID_.reset();
  canvas_->setSelectedNodeID(std::nullopt);
  if (animate) {
    const QRectF full(canvas_->rect());
    canvas_->animateFolderChange(full.adjusted(full.width() * 0.06, full.height() * 0.06, -full.width() * 0.06,
                                               -full.height() * 0.06));
  }
  refreshChrome();
  relayout();
}

void SizeloomDashboardView::goBack() {
  if (shownItems_) {
    navigate(currentNodeID_, true);
    return;
  }
  std::optional<DiskNode> current = arena_ ? arena_->node(currentNodeID_) : std::nullopt;
  if (!current || !current->parentID)
    return;
  navigate(*current->parentID, true);
  // The folder just left, so the keyboard goes on from where the user was.
  setSelectedNodeID(current->id);
}

void SizeloomDashboardView::toggleSelection(const DiskNode &node) {
  if (selectedNodeID_ == node.id)
    selectedNodeID_.reset();
  else
    selectedNodeID_ = node.id;
  canvas_->setSelectedNodeID(selectedNodeID_);
  refreshChrome();
}

void SizeloomDashboardView::setSelectedNodeID(std::optional<NodeID> id) {
  if (selectedNodeID_ == id)
    return;
  selectedNodeID_ = id;
  canvas_->setSelectedNodeID(selectedNodeID_);
  refreshChrome();
}

void SizeloomDashboardView::setListVisible(bool shown) {
  treeList_->setVisible(shown);
  refreshList();
}

bool SizeloomDashboardView::isListVisible() const { return !treeList_->isHidden(); }

void SizeloomDashboardView::setSelectedCategory(std::optional<CleanableCategory> category) {
  if (selectedCategory_ == category)
    return;
  selectedCategory_ = category;
  sidebar_->setSelectedCategory(category);
  canvas_->animateFilterChange();
  relayout();
}

void SizeloomDashboardView::setCleaningRefusal(std::optional<QString> reason) {
  cleaningRefusal_ = std::move(reason);
  actionBar_->setCleaningRefusal(cleaningRefusal_);
  canvas_->setCleaningRefusal(cleaningRefusal_);
  treeList_->setCleaningRefusal(cleaningRefusal_);
  QAbstractButton *rescan = breadcrumbBar_->rescanButton();
  rescan->setEnabled(!cleaningRefusal_);
  rescan->setToolTip(cleaningRefusal_.value_or(tr("Rescan this directory")));
}

void SizeloomDashboardView::setTrashRefusalCheck(TrashRefusalCheck check) {
  trashRefusalCheck_ = std::move(check);
  canvas_->setTrashRefusalCheck(trashRefusalCheck_);
  treeList_->setTrashRefusalCheck(trashRefusalCheck_);
  selectionRefusal_.reset();
  refreshChrome();
}

void SizeloomDashboardView::reveal(const DiskNode &node) {
  // The answer may come from the event loop, after this view is gone.
  FileManagerReveal::reveal(node.path, [view = QPointer(this), name = displayText(node.name.empty() ? node.path : node.name)](
                                           const QString &reason) {
    if (!view)
      return;
    auto *message = new QMessageBox(QMessageBox::Warning, tr("Cannot Reveal"),
                                    tr("“%1” could not be shown in a file manager.").arg(name), QMessageBox::Ok,
                                    view);
    message->setInformativeText(reason);
    message->setAttribute(Qt::WA_DeleteOnClose);
    message->open();
  });
}

bool SizeloomDashboardView::isShowingEmptyMessage() const { return container_->currentWidget() == emptyMessage_; }

bool SizeloomDashboardView::eventFilter(QObject *watched, QEvent *event) {
  if (watched == canvas_ && event->type() == QEvent::Resize)
    relayout();
  return QWidget::eventFilter(watched, event);
}

void SizeloomDashboardView::refreshChrome() {
  const std::optional<DiskNode> current = arena_ ? arena_->node(currentNodeID_) : std::nullopt;
  std::optional<DiskNode> root = arena_ ? arena_->rootNode() : std::nullopt;
  sidebar_->setTotalBytes(root ? root->allocatedSize : 0);
  static const ScanReport noTree;
  sidebar_->setUnreadableFolders(arena_ ? arena_->scanReport() : noTree);
  breadcrumbBar_->setPartialNote(DashboardSidebar::partialScanText(arena_ ? arena_->scanReport() : noTree));
  std::vector<DiskNode> chain = arena_ ? arena_->breadcrumbChain(currentNodeID_) : std::vector<DiskNode>{};
  std::optional<DiskNode> shown = current;
  if (shownItems_ && current) {
    // The opened tail is one more step, named for what it holds.
    DiskNode tail;
    tail.id = tailID;
    tail.parentID = currentNodeID_;
    tail.name = "Smaller Items";
    tail.isDirectory = true;
    for (NodeID id : *shownItems_) {
      tail.allocatedSize += arena_->record(id).allocatedSize;
      tail.fileCount += std::max<std::int64_t>(1, arena_->record(id).fileCount);
    }
    chain.push_back(tail);
    shown = tail;
  }
  breadcrumbBar_->setState(std::move(chain), shown, (current && current->parentID.has_value()) || shownItems_);
  std::optional<DiskNode> selected = selectedNodeID_ && arena_ ? arena_->node(*selectedNodeID_) : std::nullopt;
  actionBar_->setSubject(selected ? selected : current, selected.has_value());
  if (selected && trashRefusalCheck_) {
    if (!selectionRefusal_ || selectionRefusal_->first != selected->path)
      selectionRefusal_.emplace(selected->path, trashRefusalCheck_(selected->path));
    actionBar_->setTrashRefusal(selectionRefusal_->second);
  }
  refreshList();
}

void SizeloomDashboardView::refreshList() {
  if (isListVisible()) // a hidden list is brought up to date when shown
    treeList_->showFolder(arena_, currentNodeID_, selectedNodeID_);
}

} // namespace tarnwick
