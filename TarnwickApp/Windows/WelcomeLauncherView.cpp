#include "TarnwickApp/Windows/WelcomeLauncherView.h"

#include "TarnwickApp/Windows/RecentScansList.h"
#include "TarnwickUI/SymbolIcons.h"
#include "TarnwickUI/WidgetStyle.h"

#include <QAbstractButton>
#include <QGraphicsDropShadowEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include <algorithm>

namespace quillane {
namespace {

using namespace tarnwick::WidgetStyle;
using tarnwick::SymbolIcons;

/// The app's badge: a rounded square in a blue-to-purple gradient, the
/// drive symbol on it.
class AppBadge : public QWidget {
public:
  explicit AppBadge(QWidget *parent) : QWidget(parent) {
    setFixedSize(80, 80);
    auto *shadow = new QGraphicsDropShadowEffect(this);
    shadow->setColor(QColor::fromRgbF(0.0f, 0.48f, 1.0f, 0.3f));
    shadow->setBlurRadius(16);
    shadow->setOffset(0, 8);
    setGraphicsEffect(shadow);
  }

protected:
  void paintEvent(QPaintEvent *) override {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient gradient(QPointF(0, 0), QPointF(width(), height()));
    gradient.setColorAt(0, QColor::fromRgbF(0.0f, 0.48f, 1.0f, 0.8f));
    gradient.setColorAt(1, QColor::fromRgbF(0.69f, 0.32f, 0.87f, 0.8f));
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()), 22, 22);
    painter.fillPath(shape, gradient);
    const int size = 38;
    painter.drawPixmap((width() - size) / 2, (height() - size) / 2,
                       SymbolIcons::tinted("internaldrive.fill", size, Qt::white, devicePixelRatioF()));
  }
};

/// A launch card: symbol, title and subtitle, the shortcut tag at the right;
/// the whole card is the button.
class LaunchCard : public QAbstractButton {
public:
  LaunchCard(const char *symbol, QString title, QString subtitle, QString tag, QWidget *parent)
      : QAbstractButton(parent), symbol_(symbol), subtitle_(std::move(subtitle)), tag_(std::move(tag)) {
    setText(std::move(title));
    setCursor(Qt::PointingHandCursor);
    setMaximumWidth(620);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setAccessibleDescription(subtitle_);
  }
  QSize sizeHint() const override {
    return {620, 2 * padding + lineHeight(titleFont()) + lineGap + lineHeight(subtitleFont())};
  }

protected:
  void paintEvent(QPaintEvent *) override {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 12, 12);
    QColor fill = controlBackground();
    if (isDown())
      fill = fill.darker(115);
    else if (underMouse() || hasFocus())
      fill = fill.lighter(118);
    painter.fillPath(shape, fill);
    // Focus gets the accent ring; the fill alone is too faint to find it by.
    if (hasFocus())
      painter.strokePath(shape, QPen(accent(), 2));
    else
      painter.strokePath(shape, QPen(secondaryText(0.2 / 0.58), 1));

    const QColor blue(0x3d, 0x8b, 0xfd);
    painter.drawPixmap(padding + 4, (height() - 24) / 2, SymbolIcons::tinted(symbol_, 24, blue, devicePixelRatioF()));
    const QFont tagFont = textFont(11, QFont::Normal, Design::monospaced);
    const int tagWidth = QFontMetrics(tagFont).horizontalAdvance(tag_) + 12;
    const int textLeft = padding + 32 + 12;
    const int textWidth = std::max(0, width() - textLeft - tagWidth - 2 * padding);
    // The two lines, centred together: a card given more height than it
    // asked for keeps them as one block.
    const int titleHeight = lineHeight(titleFont()), subtitleHeight = lineHeight(subtitleFont());
    const int top = (height() - titleHeight - lineGap - subtitleHeight) / 2;
    painter.setFont(titleFont());
    painter.setPen(primaryText());
    painter.drawText(QRect(textLeft, top, textWidth, titleHeight), Qt::AlignLeft | Qt::AlignVCenter,
                     QFontMetrics(painter.font()).elidedText(text(), Qt::ElideRight, textWidth));
    painter.setFont(subtitleFont());
    painter.setPen(secondaryText());
    painter.drawText(QRect(textLeft, top + titleHeight + lineGap, textWidth, subtitleHeight),
                     Qt::AlignLeft | Qt::AlignVCenter,
                     QFontMetrics(painter.font()).elidedText(subtitle_, Qt::ElideRight, textWidth));
    const QRectF tag(width() - padding - tagWidth, (height() - 18) / 2.0, tagWidth, 18);
    painter.setPen(Qt::NoPen);
    painter.setBrush(secondaryText(0.15 / 0.58));
    painter.drawRoundedRect(tag, 4, 4);
    painter.setFont(tagFont);
    painter.setPen(secondaryText());
    painter.drawText(tag, Qt::AlignCenter, tag_);
  }
  void enterEvent(QEnterEvent *) override { update(); }
  void leaveEvent(QEvent *) override { update(); }

private:
  static constexpr int padding = 14, lineGap = 2;
  static QFont titleFont() { return textFont(14, QFont::DemiBold); }
  static QFont subtitleFont() { return textFont(11); }
  static int lineHeight(const QFont &font) { return QFontMetrics(font).height(); }

  const char *symbol_;
  QString subtitle_;
  QString tag_;
};

QWidget *footerItem(const char *symbol, const QString &text, QWidget *parent) {
  auto *item = new QWidget(parent);
  auto *layout = new QHBoxLayout(item);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(5);
  auto *icon = new QLabel(item);
  followPalette(icon, [icon, symbol] { icon->setPixmap(SymbolIcons::tinted(symbol, 12, secondaryText(), icon->devicePixelRatioF())); });
  layout->addWidget(icon);
  layout->addWidget(makeLabel(text, textFont(11), secondaryText(), item));
  return item;
}

} // namespace

WelcomeLauncherView::WelcomeLauncherView(Shortcuts shortcuts, QWidget *parent) : QWidget(parent) {
  // A window shorter than the page (a small screen, a large scale factor)
  // scrolls it rather than squeezing the cards.
  auto *scroller = new QScrollArea(this);
  scroller->setFrameShape(QFrame::NoFrame);
  scroller->setWidgetResizable(true);
  scroller->setFocusPolicy(Qt::NoFocus); // the cards take focus, and Tab scrolls them into view
  auto *page = new QWidget(scroller);
  auto *outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->addWidget(scroller);
  auto *layout = new QVBoxLayout(page);
  layout->setContentsMargins(32, 32, 32, 32);
  layout->setSpacing(32);
  layout->addStretch();
  layout->addWidget(makeHeader(), 0, Qt::AlignHCenter);
  banner_ = makeBanner();
  layout->addWidget(banner_, 0, Qt::AlignHCenter);

  auto *cards = new QVBoxLayout;
  cards->setSpacing(12);
  auto tag = [](const QKeySequence &keys) { return keys.toString(QKeySequence::NativeText); };
#ifdef __APPLE__
  const QString diskTitle = QStringLiteral("Scan Entire Macintosh HD");
  const QString diskSubtitle = QStringLiteral("Complete storage inventory using Darwin getattrlistbulk(2) batch engine");
#else
  const QString diskTitle = tr("Scan Entire Disk");
  const QString diskSubtitle = tr("Everything on the disk that you can read, from the top folder down");
#endif
  cards_[0] = new LaunchCard("house.fill", tr("Scan Home Folder"),
                             tr("Your documents, downloads, caches and projects"),
                             tag(shortcuts.scanHome), this);
  cards_[1] = new LaunchCard("macwindow.on.rectangle", diskTitle, diskSubtitle, tag(shortcuts.scanDisk), this);
  cards_[2] = new LaunchCard("folder.badge.gearshape", tr("Select Custom Directory…"),
                             tr("Any folder: a project, a USB drive, another disk"),
                             tag(shortcuts.chooseFolder), this);
  cards_[3] = new LaunchCard("sparkles", tr("Clean Up Caches…"),
                             tr("Review known developer, creator and browser caches, then move them to the Trash"),
                             tag(shortcuts.cleanCaches), this);
  for (QAbstractButton *card : cards_) {
    card->setMinimumWidth(460);
    cards->addWidget(card, 0, Qt::AlignHCenter);
  }
  connect(cards_[0], &QAbstractButton::clicked, this, &WelcomeLauncherView::scanHomeRequested);
  connect(cards_[1], &QAbstractButton::clicked, this, &WelcomeLauncherView::scanDiskRequested);
  connect(cards_[2], &QAbstractButton::clicked, this, &WelcomeLauncherView::chooseFolderRequested);
  connect(cards_[3], &QAbstractButton::clicked, this, &WelcomeLauncherView::cleanCachesRequested);
  layout->addLayout(cards);
  recentScans_ = new RecentScansList(this);
  int cardWidth = 0;
  for (QAbstractButton *card : cards_)
    cardWidth = std::max(cardWidth, card->sizeHint().width());
  recentScans_->setFixedWidth(cardWidth); // in the cards' column
  layout->addWidget(recentScans_, 0, Qt::AlignHCenter);
  layout->addWidget(makeFooter(), 0, Qt::AlignHCenter);
  layout->addStretch();
  scroller->setWidget(page);
}

QWidget *WelcomeLauncherView::makeHeader() {
  auto *header = new QWidget(this);
  auto *layout = new QVBoxLayout(header);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(12);
  layout->addWidget(new AppBadge(header), 0, Qt::AlignHCenter);
  auto *title = makeLabel(QStringLiteral("Quillane"), textFont(32, QFont::Bold), primaryText(), header);
  auto *subtitle = makeLabel(tr("See what takes up space on your disk, and free it safely"), textFont(13),
                             secondaryText(), header);
  layout->addWidget(title, 0, Qt::AlignHCenter);
  layout->addWidget(subtitle, 0, Qt::AlignHCenter);
  return header;
}

QWidget *WelcomeLauncherView::makeBanner() {
  auto *banner = new QFrame(this);
  banner->setObjectName(QStringLiteral("accessBanner"));
  banner->setMaximumWidth(620);
  banner->setMinimumWidth(460);
  banner->setStyleSheet(QStringLiteral("#accessBanner { background: rgba(255,149,0,26); border: 1px solid rgba(255,149,0,64);"
                                       " border-radius: 12px; }"));
  auto *layout = new QHBoxLayout(banner);
  layout->setContentsMargins(14, 14, 14, 14);
  layout->setSpacing(14);
  auto *shield = new QLabel(banner);
  shield->setPixmap(SymbolIcons::tinted("lock.shield.fill", 20, QColor(0xff, 0x95, 0x00), devicePixelRatioF()));
  auto *texts = new QVBoxLayout;
  texts->setSpacing(2);
  bannerTitle_ = makeLabel(QString(), textFont(13, QFont::Bold), primaryText(), banner);
  texts->addWidget(bannerTitle_);
  texts->addWidget(makeLabel(tr("Permissions keep Quillane out; what is inside is not counted."),
                             textFont(11), secondaryText(), banner));
  auto *show = new QPushButton(tr("Show Folders…"), banner);
  show->setDefault(true);
  show->setCursor(Qt::PointingHandCursor);
  show->setStyleSheet(QStringLiteral("QPushButton { background: palette(highlight); color: white; border-radius: 5px;"
                                     " padding: 3px 10px; }"
                                     "QPushButton:focus { border: 2px solid palette(window-text); padding: 1px 8px; }"));
  showFolders_ = show;
  connect(show, &QPushButton::clicked, this, &WelcomeLauncherView::unreadableFoldersRequested);
  layout->addWidget(shield);
  layout->addLayout(texts);
  layout->addStretch();
  layout->addWidget(show);
  return banner;
}

QWidget *WelcomeLauncherView::makeFooter() {
  auto *footer = new QWidget(this);
  auto *layout = new QHBoxLayout(footer);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(24);
  layout->addWidget(footerItem("eye.slash.fill", tr("Nothing Sent Anywhere"), footer));
#ifdef __APPLE__
  layout->addWidget(footerItem("square.stack.3d.up.fill", QStringLiteral("APFS Block-Accurate"), footer));
#else
  layout->addWidget(footerItem("square.stack.3d.up.fill", tr("Sizes as the Disk Counts Them"), footer));
#endif
  return footer;
}

void WelcomeLauncherView::setUnreadableCount(std::int64_t count) {
  bannerTitle_->setText(tr("%Ln folder(s) cannot be read", nullptr, int(count)));
  banner_->setVisible(count > 0);
}

bool WelcomeLauncherView::isBannerVisible() const { return !banner_->isHidden(); }
QString WelcomeLauncherView::bannerText() const { return bannerTitle_->text(); }

QAbstractButton *WelcomeLauncherView::card(int index) const { return cards_[index]; }

} // namespace quillane
