#include "TarnwickUI/DashboardSidebar.h"

#include "TarnwickUI/CategoryTitle.h"
#include "TarnwickUI/StorageGauge.h"
#include "TarnwickUI/SymbolIcons.h"
#include "TarnwickUI/TreemapPalette.h"
#include "TarnwickUI/WidgetStyle.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QFrame>
#include <QLabel>
#include <QPainter>
#include <QScrollArea>
#include <QStringList>
#include <QVBoxLayout>

#include <algorithm>

namespace tarnwick {
namespace {

// The translation context of the texts this file shows outside a QObject.
struct Texts {
  Q_DECLARE_TR_FUNCTIONS(tarnwick::DashboardSidebar)
};

using namespace WidgetStyle;

QString fromView(std::string_view text) { return QString::fromUtf8(text.data(), qsizetype(text.size())); }

// Unreadable folders the note's tooltip names before it only counts the rest.
constexpr std::size_t unreadableInTooltip = 10;

/// One row of the category list: symbol, title, and a highlight when chosen.
class CategoryRow : public QAbstractButton {
public:
  CategoryRow(QString symbol, QString title, QColor tint, QWidget *parent)
      : QAbstractButton(parent), symbol_(std::move(symbol)), tint_(std::move(tint)) {
    setToolTip(title); // long titles are shortened in the row
    setText(std::move(title));
    setCheckable(true);
    setAutoExclusive(false);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  }
  QSize sizeHint() const override { return {240, QFontMetrics(textFont(11, QFont::Bold)).height() + 12}; }

protected:
  void paintEvent(QPaintEvent *) override {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (isChecked() || underMouse()) {
      painter.setPen(Qt::NoPen);
      painter.setBrush(ink(isChecked() ? 0.12 : 0.05));
      painter.drawRoundedRect(QRectF(rect()), 6, 6);
    }
    if (hasFocus()) { // the keyboard's place in the list, chosen or not
      painter.setPen(QPen(accent(), 1.5));
      painter.setBrush(Qt::NoBrush);
      painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 6, 6);
    }
    const int iconTop = (height() - 12) / 2;
    painter.drawPixmap(10 + 4, iconTop, SymbolIcons::tinted(symbol_.toStdString(), 12, tint_, devicePixelRatioF()));
    painter.setFont(textFont(11, isChecked() ? QFont::Bold : QFont::Medium));
    painter.setPen(isChecked() ? primaryText() : secondaryText());
    const QRect textBox(10 + 20 + 8, 0, width() - 38 - 10, height());
    painter.drawText(textBox, Qt::AlignLeft | Qt::AlignVCenter,
                     QFontMetrics(painter.font()).elidedText(text(), Qt::ElideRight, textBox.width()));
  }
  void enterEvent(QEnterEvent *) override { update(); }
  void leaveEvent(QEvent *) override { update(); }

private:
  QString symbol_;
  QColor tint_;
};

/// The product's name beside its symbol.
QWidget *makeHeader(QWidget *parent) {
  auto *header = new QWidget(parent);
  auto *layout = new QHBoxLayout(header);
  layout->setContentsMargins(14, 14, 14, 12);
  layout->setSpacing(10);
  auto *symbol = new QLabel(header);
  symbol->setPixmap(SymbolIcons::tinted("circle.grid.2x2.fill", 16, accent(), header->devicePixelRatioF()));
  auto *titles = new QVBoxLayout;
  titles->setSpacing(1);
  auto *name = new QLabel(QStringLiteral("Quillane"), header);
  name->setFont(textFont(14, QFont::Bold));
  auto *subtitle = new QLabel(Texts::tr("Sizeloom™ Storage"), header);
  subtitle->setFont(textFont(10, QFont::Medium));
  QPalette muted = subtitle->palette();
  muted.setColor(QPalette::WindowText, secondaryText());
  subtitle->setPalette(muted);
  titles->addWidget(name);
  titles->addWidget(subtitle);
  layout->addWidget(symbol, 0, Qt::AlignVCenter);
  layout->addLayout(titles);
  layout->addStretch();
  return header;
}

QFrame *makeSeparator(QWidget *parent) {
  auto *line = new QFrame(parent);
  line->setFixedHeight(1);
  line->setAutoFillBackground(true);
  QPalette palette = line->palette();
  palette.setColor(QPalette::Window, ink(0.08));
  line->setPalette(palette);
  return line;
}

} // namespace

DashboardSidebar::DashboardSidebar(QWidget *parent)
    : QWidget(parent), gauge_(new StorageGauge(this)),
      unreadableNote_(makeLabel({}, textFont(10, QFont::Medium), secondaryText(), this)),
      leftOutNote_(makeLabel({}, textFont(10, QFont::Medium), secondaryText(), this)) {
  setMinimumWidth(260);
  setMaximumWidth(360);
  setAutoFillBackground(true);
  QPalette background = palette();
  background.setColor(QPalette::Window, windowBackground(0.75));
  setPalette(background);

  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(makeHeader(this));
  layout->addWidget(makeSeparator(this));
  layout->addWidget(gauge_);
  unreadableNote_->setContentsMargins(14, 0, 14, 8);
  unreadableNote_->hide();
  layout->addWidget(unreadableNote_);
  leftOutNote_->setContentsMargins(14, 0, 14, 8);
  leftOutNote_->hide();
  layout->addWidget(leftOutNote_);
  layout->addWidget(makeSeparator(this));

  auto *title = new QLabel(tr("SMART CATEGORIES"), this);
  title->setFont(textFont(10, QFont::Bold));
  title->setContentsMargins(14, 10, 14, 4);
  QPalette muted = title->palette();
  muted.setColor(QPalette::WindowText, secondaryText());
  title->setPalette(muted);
  layout->addWidget(title);

  auto *list = new QWidget;
  auto *listLayout = new QVBoxLayout(list);
  listLayout->setContentsMargins(8, 4, 8, 8);
  listLayout->setSpacing(2);
  auto addRow = [&](QString symbol, QString title, QColor tint, std::optional<CleanableCategory> category) {
    auto *row = new CategoryRow(std::move(symbol), std::move(title), std::move(tint), list);
    connect(row, &QAbstractButton::clicked, this, [this, category] { choose(category); });
    rows_.push_back(row);
    listLayout->addWidget(row);
  };
  addRow(QStringLiteral("square.grid.2x2"), tr("All Files"), accent(), std::nullopt);
  for (CleanableCategory category : allCleanableCategories)
    addRow(fromView(sfSymbolName(category)), categoryTitle(category), TreemapPalette::color(category), category);
  listLayout->addStretch();

  auto *scroll = new QScrollArea(this);
  scroll->setWidget(list);
  scroll->setWidgetResizable(true);
  scroll->setFrameShape(QFrame::NoFrame);
  scroll->setFocusPolicy(Qt::NoFocus); // a Tab stop showing nothing: the rows take focus themselves
  scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  scroll->viewport()->setAutoFillBackground(false);
  list->setAutoFillBackground(false);
  layout->addWidget(scroll, 1);
  setSelectedCategory(std::nullopt);
}

void DashboardSidebar::setTotalBytes(std::int64_t bytes) { gauge_->setTotalBytes(bytes); }
void DashboardSidebar::setCategoryShares(const CategoryShares &shares) { gauge_->setShares(shares); }

QString DashboardSidebar::partialScanText(const ScanReport &report) {
  if (!report.stoppedAfterEntries)
    return {};
  return tr("partial: stopped after %L1 entries").arg(qlonglong(*report.stoppedAfterEntries));
}

void DashboardSidebar::setUnreadableFolders(const ScanReport &report) {
  QStringList leftOut, mounts;
  if (const QString partial = partialScanText(report); !partial.isEmpty())
    leftOut << partial;
  if (const std::int64_t skipped = report.skippedMountCount; skipped > 0)
    leftOut << tr("%Ln mount point(s) not entered", nullptr, int(skipped));
  if (const std::int64_t excluded = report.excludedCount; excluded > 0)
    leftOut << tr("%Ln item(s) excluded", nullptr, int(excluded));
  for (std::size_t i = 0; i < std::min(report.skippedMounts.size(), unreadableInTooltip); ++i)
    mounts << displayText(report.skippedMounts[i].path) +
                  (report.skippedMounts[i].fileSystemType.empty()
                       ? QString()
                       : QStringLiteral(" (%1)").arg(QString::fromStdString(report.skippedMounts[i].fileSystemType)));
  leftOutNote_->setText(leftOut.join(QStringLiteral(" · ")));
  leftOutNote_->setToolTip(mounts.join(QLatin1Char('\n')));
  leftOutNote_->setVisible(!leftOut.isEmpty());

  const std::int64_t count = report.unreadableFolderCount;
  unreadableNote_->setVisible(count > 0);
  if (count == 0)
    return;
  unreadableNote_->setText(tr("%Ln folder(s) could not be read", nullptr, int(count)));
  QStringList lines;
  const std::size_t shown = std::min(report.unreadablePaths.size(), unreadableInTooltip);
  for (std::size_t i = 0; i < shown; ++i)
    lines << displayText(report.unreadablePaths[i].message());
  if (count > std::int64_t(shown))
    lines << tr("and %L1 more").arg(count - std::int64_t(shown));
  unreadableNote_->setToolTip(lines.join(QLatin1Char('\n')));
}

void DashboardSidebar::setSelectedCategory(std::optional<CleanableCategory> category) {
  selected_ = category;
  const auto &all = allCleanableCategories;
  for (std::size_t row = 0; row < rows_.size(); ++row)
    rows_[row]->setChecked(row == 0 ? !category : category && all[row - 1] == *category);
}

QAbstractButton *DashboardSidebar::categoryRow(int row) const { return rows_.at(std::size_t(row)); }

void DashboardSidebar::choose(std::optional<CleanableCategory> category) {
  // A category row toggles; "All Files" always clears.
  emit filterChosen(category && category == selected_ ? std::nullopt : category);
  setSelectedCategory(selected_); // the owner decides; keep showing its choice until told
}

} // namespace tarnwick
