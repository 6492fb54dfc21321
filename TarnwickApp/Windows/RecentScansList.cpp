#include "TarnwickApp/Windows/RecentScansList.h"

#include "TarnwickUI/TreemapPalette.h"
#include "TarnwickUI/WidgetStyle.h"

#include <QDateTime>
#include <QFile>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <limits>

namespace quillane {

using namespace tarnwick::WidgetStyle;

RecentScansList::RecentScansList(QWidget *parent)
    : QWidget(parent), refusal_(new QLabel(this)), rowLayout_(new QVBoxLayout) {
  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(4);
  auto *title = new QLabel(tr("Recent Scans"), this);
  title->setFont(textFont(13, QFont::DemiBold));
  layout->addWidget(title);
  refusal_->setWordWrap(true);
  refusal_->setTextFormat(Qt::PlainText);
  refusal_->hide();
  layout->addWidget(refusal_);
  rowLayout_->setSpacing(2);
  layout->addLayout(rowLayout_);
  hide();
}

void RecentScansList::setEntries(const std::vector<tarnwick::ScanSnapshotStore::Entry> &entries, std::int64_t now,
                                 const std::optional<tarnwick::Failure> &refusal) {
  refusal_->setVisible(refusal.has_value());
  if (refusal)
    refusal_->setText(tr("Scans are not remembered: %1").arg(displayText(refusal->message())));
  qDeleteAll(rows_);
  rows_.clear();
  for (const tarnwick::ScanSnapshotStore::Entry &entry : entries) {
    if (rows_.size() == maxRows)
      break;
    auto *row = new QPushButton(this);
    row->setFlat(true);
    // A style sheet drops the style's focus frame: it draws its own.
    row->setStyleSheet(QStringLiteral("QPushButton { text-align: left; padding: 4px 8px; border: 1px solid transparent;"
                                      " border-radius: 5px; } QPushButton:focus { border-color: palette(highlight); }"));
    const QString file = QFile::decodeName(QByteArray::fromStdString(entry.filePath));
    if (const auto &header = entry.header) {
      row->setText(QStringLiteral("%1  —  %2 · %3 · %4")
                       .arg(displayText(header->rootPath), tarnwick::TreemapPalette::formatBytes(header->totalBytes),
                            tarnwick::TreemapPalette::formatItemCount(header->fileCount, true),
                            ageText(std::max<std::int64_t>(0, now - header->scanTime))));
      row->setToolTip(tr("Scanned %1").arg(QLocale().toString(
          QDateTime::fromSecsSinceEpoch(header->scanTime), QLocale::LongFormat)));
      connect(row, &QPushButton::clicked, this, [this, file] { emit openRequested(file); });
    } else {
      row->setText(tr("%1  —  cannot be read").arg(file));
      row->setToolTip(entry.error ? QString::fromStdString(entry.error->message()) : QString());
      row->setEnabled(false);
    }
    rowLayout_->addWidget(row);
    rows_.append(row);
  }
  setVisible(!rows_.isEmpty() || refusal);
}

QString RecentScansList::ageText(std::int64_t seconds) {
  struct Unit {
    std::int64_t seconds;
    const char *text;
  };
  static constexpr Unit units[] = {{86'400, QT_TR_N_NOOP("%n day(s) ago")},
                                   {3'600, QT_TR_N_NOOP("%n hour(s) ago")},
                                   {60, QT_TR_N_NOOP("%n minute(s) ago")}};
  for (const Unit &unit : units)
    if (seconds >= unit.seconds)
      return tr(unit.text, nullptr, int(std::min<std::int64_t>(seconds / unit.seconds, std::numeric_limits<int>::max())));
  return tr("just now");
}

} // namespace quillane
