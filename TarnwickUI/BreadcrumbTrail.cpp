#include "TarnwickUI/BreadcrumbTrail.h"

#include <QAbstractButton>

#include <algorithm>

namespace tarnwick {
namespace {

constexpr int itemSpacing = 6;     // between a crumb and a chevron
constexpr int overflowSpacing = 10; // between "…" and the oldest crumb shown

// The size a layout would give `item`: a chevron has a fixed size but no hint.
QSize preferredSize(const QWidget *item) {
  return item->sizeHint().expandedTo(item->minimumSize()).boundedTo(item->maximumSize());
}

} // namespace

BreadcrumbTrail::BreadcrumbTrail(QAbstractButton *overflowButton, QWidget *parent)
    : QWidget(parent), overflowButton_(overflowButton) {
  overflowButton_->setParent(this);
  overflowButton_->hide();
  setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void BreadcrumbTrail::setItems(std::vector<QWidget *> items) {
  items_ = std::move(items);
  for (QWidget *item : items_)
    item->setParent(this); // hidden until placed
  place();
  updateGeometry();
}

QSize BreadcrumbTrail::sizeHint() const {
  int width = 0, height = preferredSize(overflowButton_).height();
  for (const QWidget *item : items_) {
    const QSize hint = preferredSize(item);
    width += hint.width() + (width > 0 ? itemSpacing : 0);
    height = std::max(height, hint.height());
  }
  return {width, height};
}

QSize BreadcrumbTrail::minimumSizeHint() const { return {0, sizeHint().height()}; }

void BreadcrumbTrail::resizeEvent(QResizeEvent *) { place(); }

std::size_t BreadcrumbTrail::firstShown(int room) const {
  std::size_t first = items_.size() - 1;
  int used = preferredSize(items_[first]).width();
  while (first >= 2) {
    // One crumb more brings its chevron along.
    const int more =
        preferredSize(items_[first - 2]).width() + preferredSize(items_[first - 1]).width() + 2 * itemSpacing;
    if (used + more > room)
      break;
    used += more;
    first -= 2;
  }
  return first;
}

void BreadcrumbTrail::place() {
  const bool overflows = !items_.empty() && sizeHint().width() > width();
  int x = 0;
  std::size_t first = 0;
  if (overflows) {
    const QSize hint = preferredSize(overflowButton_);
    overflowButton_->setGeometry(0, (height() - hint.height()) / 2, hint.width(), hint.height());
    x = hint.width() + overflowSpacing;
    first = firstShown(width() - x);
  }
  overflowButton_->setVisible(overflows);
  crumbsOutOfView_ = int(first / 2);
  for (std::size_t i = 0; i < items_.size(); ++i) {
    QWidget *item = items_[i];
    if (i < first) {
      item->hide();
      continue;
    }
    QSize size = preferredSize(item);
    if (i + 1 == items_.size()) // the newest crumb elides what does not fit
      size.setWidth(std::clamp(width() - x, 0, size.width()));
    item->setGeometry(x, (height() - size.height()) / 2, size.width(), size.height());
    item->show();
    x += size.width() + itemSpacing;
  }
}

} // namespace tarnwick
