#include "TarnwickApp/Windows/UnreadableFoldersDialog.h"

#include "TarnwickApp/Windows/CloseKeys.h"
#include "TarnwickUI/WidgetStyle.h"

#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace quillane {

using namespace tarnwick::WidgetStyle;

UnreadableFoldersDialog::UnreadableFoldersDialog(QWidget *parent)
    : QDialog(parent), list_(new QTreeWidget(this)), summary_(new QLabel(this)) {
  setWindowTitle(tr("Unreadable Folders"));
  resize(720, 420);
  auto *layout = new QVBoxLayout(this);
  summary_->setWordWrap(true);
  layout->addWidget(summary_);
  list_->setColumnCount(2);
  list_->setHeaderLabels({tr("Folder"), tr("Reason")});
  list_->setRootIsDecorated(false);
  list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  list_->setTextElideMode(Qt::ElideMiddle);
  list_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
  list_->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
  list_->header()->setStretchLastSection(false);
  layout->addWidget(list_, 1);
  auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  QPushButton *copy = buttons->addButton(tr("Copy"), QDialogButtonBox::ActionRole);
  connect(copy, &QPushButton::clicked, this, [this] { QApplication::clipboard()->setText(text()); });
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
  closeOnEscapeOrCloseKey(this);
}

void UnreadableFoldersDialog::setFolders(std::vector<tarnwick::Failure> folders, std::int64_t total) {
  list_->clear();
  for (const tarnwick::Failure &folder : folders) {
    auto *row = new QTreeWidgetItem(list_);
    row->setText(0, displayText(folder.path));
    row->setText(1, QString::fromStdString(folder.explanation()));
    row->setToolTip(0, row->text(0));
  }
  const std::int64_t listed = std::int64_t(folders.size());
  QString summary = tr("Quillane could not read %Ln folder(s). What they hold is not counted.", nullptr, int(total));
  if (total > listed)
    summary += tr(" The first %L1 are listed.").arg(listed);
  summary_->setText(summary);
}

QString UnreadableFoldersDialog::text() const {
  QStringList lines;
  for (int i = 0; i < list_->topLevelItemCount(); ++i)
    lines << list_->topLevelItem(i)->text(0) + QLatin1Char('\t') + list_->topLevelItem(i)->text(1);
  return lines.join(QLatin1Char('\n'));
}

} // namespace quillane
