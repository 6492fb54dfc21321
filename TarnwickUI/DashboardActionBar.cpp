#include "TarnwickUI/DashboardActionBar.h"

#include "TarnwickUI/CategoryTitle.h"
#include "TarnwickUI/ElidedLabel.h"
#include "TarnwickUI/SymbolIcons.h"
#include "TarnwickUI/TreemapPalette.h"
#include "TarnwickUI/WidgetStyle.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>

namespace tarnwick {
namespace {

using namespace WidgetStyle;

void setTextColour(QWidget *widget, const QColor &colour) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::WindowText, colour);
  widget->setPalette(palette);
}

/// A bordered button, optionally filled with `fill` (the prominent style).
QPushButton *makeButton(const char *symbol, const QString &title, std::optional<QColor> fill, QWidget *parent) {
  auto *button = new QPushButton(title, parent);
  button->setFont(textFont(11, QFont::Medium));
  button->setCursor(Qt::PointingHandCursor);
  followPalette(button, [button, symbol, onFill = fill.has_value()] {
    const QColor iconColour = onFill ? QColor(Qt::white) : primaryText();
    button->setIcon(QIcon(SymbolIcons::tinted(symbol, 14, iconColour, button->devicePixelRatioF())));
  });
  if (fill) {
    button->setStyleSheet(QStringLiteral("QPushButton { background: %1; color: white; border: 1px solid %2;"
                                         " border-radius: 6px; padding: 5px 12px; }"
                                         "QPushButton:hover { background: %2; }"
                                         "QPushButton:pressed { background: %3; }"
                                         "QPushButton:focus { border: 2px solid %6; padding: 4px 11px; }"
                                         "QPushButton:disabled { background: %4; color: %5; border-color: %4; }")
                              .arg(fill->name(), fill->lighter(115).name(), fill->darker(120).name(),
                                   controlBackground().name(), secondaryText().name(QColor::HexArgb),
                                   primaryText().name()));
  }
  return button;
}

// A path or name that may be long: shortened to the room the label is
// given, whole in its tooltip.
void setElided(ElidedLabel *label, const QString &text) {
  label->setToolTip(text);
  label->setFullText(text);
}

} // namespace

DashboardActionBar::DashboardActionBar(QWidget *parent)
    : QWidget(parent), icon_(new QLabel(this)), name_(new ElidedLabel(Qt::ElideRight, this)),
      kind_(new ElidedLabel(Qt::ElideRight, this)), path_(new ElidedLabel(Qt::ElideMiddle, this)),
      placeholder_(new QLabel(tr("Select an item to inspect or clean"), this)), subjectBox_(new QWidget(this)),
      reveal_(makeButton("folder", tr("Reveal"), std::nullopt, this)),
      trash_(makeButton("trash", tr("Move to Trash"), destructiveRed(), this)),
      smartClean_(makeButton("sparkles", tr("Smart Clean Category"), accent(), this)) {
  auto *layout = new QHBoxLayout(this);
  layout->setContentsMargins(14, 10, 14, 10);
  layout->setSpacing(12);

  name_->setFont(textFont(12, QFont::Bold));
  kind_->setFont(textFont(10, QFont::DemiBold));
  path_->setFont(textFont(10));
  setTextColour(path_, secondaryText());
  // The icon, then the name over the kind and the path; the path takes
  // what the kind leaves. The subject takes the room the buttons leave it,
  // and its texts are elided only when that is not enough. One grid, not
  // nested rows: a nested layout keeps its old size hint when a label's
  // changes, and the bar would lay the subject out for the last one.
  auto *lines = new QGridLayout(subjectBox_);
  lines->setContentsMargins(0, 0, 0, 0);
  lines->setHorizontalSpacing(6);
  lines->setVerticalSpacing(1);
  icon_->setContentsMargins(0, 0, 2, 0); // 8 to the text
  lines->addWidget(icon_, 0, 0, 2, 1, Qt::AlignVCenter);
  lines->addWidget(name_, 0, 1, 1, 2);
  lines->addWidget(kind_, 1, 1);
  lines->addWidget(path_, 1, 2);
  lines->setColumnStretch(2, 1);

  placeholder_->setFont(textFont(11));
  setTextColour(placeholder_, secondaryText());

  layout->addWidget(subjectBox_);
  layout->addWidget(placeholder_);
  layout->addStretch();
  layout->addWidget(reveal_);
  layout->addWidget(trash_);
  layout->addWidget(smartClean_);

  connect(reveal_, &QPushButton::clicked, this, [this] {
    if (subject_)
      emit revealRequested(*subject_);
  });
  connect(trash_, &QPushButton::clicked, this, [this] {
    if (subject_)
      emit moveToTrashRequested(*subject_);
  });
  connect(smartClean_, &QPushButton::clicked, this, &DashboardActionBar::smartCleanRequested);
  setSubject(std::nullopt, false);
}

void DashboardActionBar::setSubject(const std::optional<DiskNode> &subject, bool isSelection) {
  subject_ = subject;
  subjectBox_->setVisible(subject.has_value());
  placeholder_->setVisible(!subject.has_value());
  reveal_->setVisible(subject && isSelection);
  trash_->setVisible(subject && isSelection);
  if (!subject)
    return;
  icon_->setPixmap(SymbolIcons::tinted(subject->isDirectory ? "folder.fill" : "doc.fill", 14, accent(), devicePixelRatioF()));
  setElided(name_, subject->name.empty() ? tr("Current Folder") : displayText(subject->name));
  const std::optional<CleanableCategory> category = TreemapPalette::categoryOf(*subject);
  if (category) {
    setElided(kind_, categoryTitle(*category));
  } else {
    setElided(kind_, subject->isDirectory ? tr("Folder") : tr("File"));
  }
  setTextColour(kind_, category ? TreemapPalette::color(*category) : secondaryText());
  setElided(path_, displayText(subject->path));
  // The bar's layout keeps the box's size hint from its last run, which
  // showing the buttons above may just have started: the box's has changed.
  subjectBox_->updateGeometry();
}

void DashboardActionBar::setCleaningRefusal(const std::optional<QString> &reason) {
  cleaningRefusal_ = reason;
  smartClean_->setEnabled(!reason);
  smartClean_->setToolTip(reason.value_or(QString()));
  // A tree from another computer names no folder here to show.
  reveal_->setEnabled(!reason);
  reveal_->setToolTip(reason.value_or(QString()));
  showTrashRefusal();
}

void DashboardActionBar::setTrashRefusal(const std::optional<QString> &reason) {
  trashRefusal_ = reason;
  showTrashRefusal();
}

void DashboardActionBar::showTrashRefusal() {
  const std::optional<QString> &reason = cleaningRefusal_ ? cleaningRefusal_ : trashRefusal_;
  trash_->setEnabled(!reason);
  trash_->setToolTip(reason.value_or(QString()));
}

QString DashboardActionBar::subjectName() const { return subject_ ? name_->toolTip() : QString(); }
QString DashboardActionBar::subjectPath() const { return subject_ ? path_->toolTip() : QString(); }
QString DashboardActionBar::subjectKind() const { return subject_ ? kind_->toolTip() : QString(); }

void DashboardActionBar::paintEvent(QPaintEvent *) {
  QPainter painter(this);
  painter.fillRect(rect(), windowBackground(0.85));
  painter.fillRect(QRect(0, 0, width(), 1), ink(0.3 * 0.3));
}

} // namespace tarnwick
