#include "TarnwickUI/TreemapBreadcrumbBar.h"

#include "TarnwickUI/BreadcrumbCrumbButton.h"
#include "TarnwickUI/BreadcrumbTrail.h"
#include "TarnwickUI/SymbolIcons.h"
#include "TarnwickUI/TreemapPalette.h"
#include "TarnwickUI/WidgetStyle.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>

#include <array>
#include <cmath>
#include <utility>

namespace tarnwick {
namespace {

// The translation context of the texts this file shows outside a QObject.
struct Texts {
  Q_DECLARE_TR_FUNCTIONS(tarnwick::TreemapBreadcrumbBar)
};

QColor withOpacity(QColor colour, qreal opacity) {
  colour.setAlphaF(float(colour.alphaF() * opacity));
  return colour;
}

QFont pixelFont(const QFont &base, int pixelSize, QFont::Weight weight) {
  QFont font = base;
  font.setPixelSize(pixelSize);
  font.setWeight(weight);
  return font;
}

void drawCentredSymbol(QPainter &painter, const QWidget &widget, const char *symbol, int size, const QColor &tint) {
  const QPixmap picture = SymbolIcons::tinted(symbol, size, tint, widget.devicePixelRatioF());
  painter.drawPixmap(QPointF((widget.width() - size) / 2.0, (widget.height() - size) / 2.0), picture);
}

// A 28 × 28 symbol on a rounded tile. Disabled, it fades: the secondary
// colour at 0.4 on a fainter tile.
class SymbolTileButton : public QAbstractButton {
public:
  enum class Tint { primary, secondary };

  SymbolTileButton(const char *symbol, int symbolSize, Tint tint, const QString &toolTip, QWidget *parent)
      : QAbstractButton(parent), symbol_(symbol), symbolSize_(symbolSize), primaryTint_(tint == Tint::primary) {
    setFixedSize(28, 28);
    setFocusPolicy(Qt::TabFocus);
    setToolTip(toolTip);
    setAccessibleName(toolTip);
  }

protected:
  void paintEvent(QPaintEvent *) override {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath tile;
    tile.addRoundedRect(QRectF(rect()), 6, 6);
    painter.fillPath(tile, withOpacity(WidgetStyle::ink(1), isEnabled() ? 0.08 : 0.02));
    if (hasFocus() && window()->testAttribute(Qt::WA_KeyboardFocusChange)) { // keyboard focus only
      painter.setPen(QPen(palette().color(QPalette::Highlight), 1));
      painter.drawPath(tile);
    }
    const QColor secondary = BreadcrumbCrumbButton::secondaryTextColor(palette());
    const QColor tint = !isEnabled()   ? withOpacity(secondary, 0.4)
                        : primaryTint_ ? palette().color(QPalette::WindowText)
                                       : secondary;
    drawCentredSymbol(painter, *this, symbol_, symbolSize_, tint);
  }

private:
  const char *symbol_;
  int symbolSize_;
  bool primaryTint_;
};

// The chevron between two crumbs.
class CrumbSeparator : public QWidget {
public:
  explicit CrumbSeparator(QWidget *parent) : QWidget(parent) { setFixedSize(9, 9); }

protected:
  void paintEvent(QPaintEvent *) override {
    QPainter painter(this);
    drawCentredSymbol(painter, *this, "chevron.right", 9,
                      withOpacity(BreadcrumbCrumbButton::secondaryTextColor(palette()), 0.5));
  }
};

// The shown folder's size and item count on a capsule.
class SizeBadge : public QWidget {
public:
  explicit SizeBadge(QWidget *parent)
      : QWidget(parent), sizeFont_(pixelFont(font(), 12, QFont::Black)),
        bulletFont_(pixelFont(font(), 10, QFont::Normal)), countFont_(pixelFont(font(), 11, QFont::Medium)) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
  }

  void setNode(const DiskNode &node) {
    size_ = TreemapPalette::formatBytes(node.allocatedSize);
    count_ = TreemapPalette::formatItemCount(node.fileCount, true);
    updateGeometry();
    update();
  }
  QString text() const { return size_ + QStringLiteral(" • ") + count_; }

  QSize sizeHint() const override {
    qreal width = 2 * padding + 2 * gap, height = 0;
    for (const auto &[font, text] : parts()) {
      const QFontMetricsF metrics(*font);
      width += metrics.horizontalAdvance(*text);
      height = std::max(height, metrics.height());
    }
    return {int(std::ceil(width)), int(std::ceil(height + 10))};
  }

protected:
  void paintEvent(QPaintEvent *) override {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF capsule = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    painter.setPen(QPen(withOpacity(WidgetStyle::ink(1), 0.12), 1));
    painter.setBrush(withOpacity(WidgetStyle::ink(1), 0.08));
    painter.drawRoundedRect(capsule, capsule.height() / 2, capsule.height() / 2);

    const QColor primary = palette().color(QPalette::WindowText);
    const QColor secondary = BreadcrumbCrumbButton::secondaryTextColor(palette());
    qreal x = padding;
    for (const auto &[font, text] : parts()) {
      painter.setFont(*font);
      painter.setPen(font == &sizeFont_ ? primary : secondary);
      const qreal advance = QFontMetricsF(*font).horizontalAdvance(*text);
      painter.drawText(QRectF(x, 0, advance + 1, height()), Qt::AlignLeft | Qt::AlignVCenter, *text);
      x += advance + gap;
    }
  }

private:
  static constexpr qreal padding = 10, gap = 6;

  std::array<std::pair<const QFont *, const QString *>, 3> parts() const {
    return {{{&sizeFont_, &size_}, {&bulletFont_, &bullet_}, {&countFont_, &count_}}};
  }

  QFont sizeFont_, bulletFont_, countFont_;
  QString size_, count_;
  const QString bullet_ = QStringLiteral("•");
};

QString displayName(const DiskNode &node) {
  return node.name.empty() ? Texts::tr("Root") : WidgetStyle::displayText(node.name);
}

} // namespace

TreemapBreadcrumbBar::TreemapBreadcrumbBar(QWidget *parent)
    : QWidget(parent), backButton_(new SymbolTileButton("chevron.left", 13, SymbolTileButton::Tint::primary,
                                                        tr("Navigate to parent directory"), this)),
      rescanButton_(new SymbolTileButton("arrow.clockwise", 12, SymbolTileButton::Tint::secondary,
                                         tr("Rescan this directory"), this)),
      overflowButton_(new BreadcrumbCrumbButton(QStringLiteral("…"), BreadcrumbCrumbButton::Glyph::none, false, this)),
      trail_(new BreadcrumbTrail(overflowButton_, this)), badge_(new SizeBadge(this)),
      partialBadge_(new QLabel(tr("Partial"), this)) {
  setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
  backButton_->setEnabled(false);
  connect(backButton_, &QAbstractButton::clicked, this, &TreemapBreadcrumbBar::goBack);
  connect(rescanButton_, &QAbstractButton::clicked, this, &TreemapBreadcrumbBar::rescan);

  overflowButton_->setToolTip(tr("Folders above"));
  overflowButton_->setAccessibleName(tr("Folders above"));
  connect(overflowButton_, &QAbstractButton::clicked, this, [this] {
    QMenu *menu = overflowMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(overflowButton_->mapToGlobal(QPoint(0, overflowButton_->height())));
  });
  badge_->hide();
  partialBadge_->setStyleSheet(QStringLiteral("QLabel { color: #f5a623; border: 1px solid #f5a623; border-radius: 8px;"
                                              " padding: 1px 7px; font-size: 11px; font-weight: 600; }"));
  partialBadge_->hide();

  auto *row = new QHBoxLayout(this);
  row->setContentsMargins(14, 8, 14, 8);
  row->setSpacing(10);
  row->addWidget(backButton_, 0, Qt::AlignVCenter);
  row->addWidget(trail_, 0, Qt::AlignVCenter);
  row->addSpacerItem(new QSpacerItem(8, 0, QSizePolicy::MinimumExpanding, QSizePolicy::Minimum));
  row->addWidget(partialBadge_, 0, Qt::AlignVCenter);
  row->addWidget(badge_, 0, Qt::AlignVCenter);
  row->addWidget(rescanButton_, 0, Qt::AlignVCenter);
}

void TreemapBreadcrumbBar::setState(std::vector<DiskNode> chain, std::optional<DiskNode> currentNode, bool canGoBack) {
  backButton_->setEnabled(canGoBack);

  clearCrumbs();
  std::vector<QWidget *> items; // crumbs and the chevrons between them
  for (std::size_t i = 0; i < chain.size(); ++i) {
    const DiskNode &node = chain[i];
    const bool isLast = i + 1 == chain.size();
    const auto glyph = i == 0             ? BreadcrumbCrumbButton::Glyph::drive
                       : node.isDirectory ? BreadcrumbCrumbButton::Glyph::folder
                                          : BreadcrumbCrumbButton::Glyph::none;
    auto *crumb = new BreadcrumbCrumbButton(displayName(node), glyph, isLast, trail_);
    connect(crumb, &QAbstractButton::clicked, this, [this, id = node.id] { emit navigateTo(id); });
    if (i == 0) // the tree's root, named by its last component only
      crumb->setToolTip(WidgetStyle::displayText(node.path));
    items.push_back(crumb);
    crumbs_.push_back(crumb);
    crumbIDs_.push_back(node.id);
    if (!isLast) {
      auto *separator = new CrumbSeparator(trail_);
      items.push_back(separator);
      separators_.push_back(separator);
    }
  }
  trail_->setItems(std::move(items));
  // New crumbs join the end of the window's Tab chain: put them after Back,
  // where they are on screen.
  QWidget *previous = overflowButton_;
  QWidget::setTabOrder(backButton_, overflowButton_);
  for (QWidget *crumb : crumbs_)
    QWidget::setTabOrder(std::exchange(previous, crumb), crumb);

  auto *badge = static_cast<SizeBadge *>(badge_);
  if (currentNode)
    badge->setNode(*currentNode);
  badge->setVisible(currentNode.has_value());
}

void TreemapBreadcrumbBar::clearCrumbs() {
  // Deleted later: a crumb's click may be what led here.
  auto retire = [](QWidget *widget) {
    widget->hide();
    widget->deleteLater();
  };
  for (QWidget *crumb : crumbs_)
    retire(crumb);
  for (QWidget *separator : separators_)
    retire(separator);
  crumbs_.clear();
  crumbIDs_.clear();
  separators_.clear();
}

QAbstractButton *TreemapBreadcrumbBar::overflowButton() const { return overflowButton_; }

QMenu *TreemapBreadcrumbBar::overflowMenu(QWidget *parent) {
  auto *menu = new QMenu(parent);
  for (std::size_t i = 0; i < std::size_t(trail_->crumbsOutOfView()); ++i)
    menu->addAction(QString(crumbs_[i]->accessibleName()).replace(QLatin1Char('&'), QStringLiteral("&&")), this,
                    [this, id = crumbIDs_[i]] { emit navigateTo(id); });
  return menu;
}

bool TreemapBreadcrumbBar::isBadgeShown() const { return !badge_->isHidden(); }

QString TreemapBreadcrumbBar::badgeText() const { return static_cast<const SizeBadge *>(badge_)->text(); }

void TreemapBreadcrumbBar::paintEvent(QPaintEvent *) {
  QPainter painter(this);
  painter.fillRect(rect(), withOpacity(palette().color(QPalette::Window), 0.6));
  // A one-device-pixel line along the bottom edge.
  const qreal hairline = 1.0 / devicePixelRatioF();
  painter.fillRect(QRectF(0, height() - hairline, width(), hairline),
                   withOpacity(BreadcrumbCrumbButton::secondaryTextColor(palette()), 0.3));
}

void TreemapBreadcrumbBar::setPartialNote(const QString &note) {
  partialBadge_->setToolTip(note);
  partialBadge_->setVisible(!note.isEmpty());
}

QString TreemapBreadcrumbBar::partialNote() const { return partialBadge_->isHidden() ? QString() : partialBadge_->toolTip(); }

} // namespace tarnwick
