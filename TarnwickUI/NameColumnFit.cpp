#include "TarnwickUI/NameColumnFit.h"

#include <QEvent>
#include <QHeaderView>
#include <QTreeView>

#include <algorithm>
#include <cmath>

namespace tarnwick {

NameColumnFit::NameColumnFit(QTreeView *view, int nameSection, std::vector<Column> others)
    : QObject(view), view_(view), others_(std::move(others)) {
  QHeaderView *header = view->header();
  header->setStretchLastSection(false);
  header->setSectionResizeMode(nameSection, QHeaderView::Stretch);
  // The viewport, not the view: a vertical scroll bar coming or going
  // changes the room without resizing the view.
  view->viewport()->installEventFilter(this);
  fit();
}

std::vector<int> NameColumnFit::widthsFor(int width, const std::vector<Column> &others) {
  const int nameLeast = std::min(width, std::max(nameFloor, int(std::lround(width * nameShare))));
  const int room = width - nameLeast;
  std::vector<int> widths;
  int total = 0;
  for (const Column &column : others) {
    widths.push_back(std::max(column.preferred, int(std::lround(width * column.share))));
    total += widths.back();
  }
  // Shrink first, the least important first: a narrower column still says
  // what a hidden one cannot.
  for (std::size_t i = others.size(); i-- > 0 && total > room;) {
    const int cut = std::min(widths[i] - std::min(others[i].minimum, widths[i]), total - room);
    widths[i] -= cut;
    total -= cut;
  }
  for (std::size_t i = others.size(); i-- > 1 && total > room;) {
    total -= widths[i];
    widths[i] = 0;
  }
  return widths;
}

void NameColumnFit::fit() {
  const std::vector<int> widths = widthsFor(view_->viewport()->width(), others_);
  QHeaderView *header = view_->header();
  for (std::size_t i = 0; i < others_.size(); ++i) {
    const int section = others_[i].section;
    header->setSectionHidden(section, widths[i] == 0);
    if (widths[i] > 0)
      header->resizeSection(section, widths[i]);
  }
}

bool NameColumnFit::eventFilter(QObject *watched, QEvent *event) {
  if (event->type() == QEvent::Resize)
    fit();
  return QObject::eventFilter(watched, event);
}

} // namespace tarnwick
