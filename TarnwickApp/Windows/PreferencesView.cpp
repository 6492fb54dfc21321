#include "TarnwickApp/Windows/PreferencesView.h"

#include "TarnwickUI/SymbolIcons.h"
#include "TarnwickUI/WidgetStyle.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace quillane {
namespace {

using namespace tarnwick::WidgetStyle;

// Settings texts wrap: the window has a fixed width.
QLabel *wrappedLabel(const QString &text, const QFont &font, const QColor &colour, QWidget *parent) {
  QLabel *label = makeLabel(text, font, colour, parent);
  label->setWordWrap(true);
  return label;
}

/// One transparency row: the title over the purpose.
QWidget *makeRow(const tarnwick::FDAPathCategory &category, QWidget *parent) {
  auto *row = new QWidget(parent);
  auto *layout = new QVBoxLayout(row);
  layout->setContentsMargins(6, 2 + 4, 6, 2 + 4);
  layout->setSpacing(4);
  layout->addWidget(wrappedLabel(QString::fromStdString(category.title), textFont(13, QFont::Bold), primaryText(), row));
  layout->addWidget(wrappedLabel(QString::fromStdString(category.purpose), textFont(11), secondaryText(), row));
  return row;
}

} // namespace

PreferencesView::PreferencesView(StatusProbe probe, QWidget *parent)
    : QWidget(parent), probe_(std::move(probe)), tabs_(new QTabWidget(this)), status_(nullptr), list_(nullptr) {
  auto *outer = new QVBoxLayout(this);
  outer->setContentsMargins(8, 8, 8, 8);
  outer->addWidget(tabs_);

  auto *page = new QWidget(tabs_);
  auto *layout = new QVBoxLayout(page);
  layout->setContentsMargins(20, 20, 20, 20);
  layout->setSpacing(16);

  auto *header = new QHBoxLayout;
  auto *texts = new QVBoxLayout;
  texts->setSpacing(4);
  status_ = wrappedLabel(QString(), textFont(14, QFont::DemiBold), primaryText(), page);
  texts->addWidget(status_);
  texts->addWidget(wrappedLabel(QStringLiteral("Transparency declarations for all requested disk locations."), textFont(11),
                             secondaryText(), page));
  header->addLayout(texts, 1);
  // Linux has no privacy pane to send the user to; what can change is what
  // the files' permissions allow, so the button asks the probes again.
  auto *check = new QPushButton(QStringLiteral("Check Again"), page);
  connect(check, &QPushButton::clicked, this, &PreferencesView::refreshStatus);
  header->addWidget(check, 0, Qt::AlignTop);
  layout->addLayout(header);

  list_ = new QListWidget(page);
  list_->setSelectionMode(QAbstractItemView::NoSelection);
  list_->setFocusPolicy(Qt::NoFocus);
  for (const tarnwick::FDAPathCategory &category : tarnwick::FullDiskAccessCoordinator::transparencyCategories()) {
    auto *item = new QListWidgetItem(list_);
    item->setData(Qt::UserRole, QString::fromStdString(category.id));
    QWidget *row = makeRow(category, list_);
    item->setSizeHint(row->sizeHint());
    list_->setItemWidget(item, row);
  }
  layout->addWidget(list_, 1);
  tabs_->addTab(page, tarnwick::SymbolIcons::icon("lock.shield.fill"), QStringLiteral("Full Disk Access"));
  refreshStatus();
}

void PreferencesView::refreshStatus() {
  const bool granted = probe_ && probe_() == tarnwick::FullDiskAccessStatus::granted;
  status_->setText(QStringLiteral("Full Disk Access Status: ") +
                   (granted ? QStringLiteral("Granted") : QStringLiteral("Not Granted")));
}

QString PreferencesView::statusText() const { return status_->text(); }
int PreferencesView::transparencyRowCount() const { return list_->count(); }

} // namespace quillane
