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

namespace quillane {

using namespace tarnwick::WidgetStyle;

RecentScansList::RecentScansList(QWidget *parent) : QWidget(parent), rowLayout_(new QVBoxLayout) {
  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(4);
  auto *title = new QLabel(QStringLiteral("Recent Scans"), this);
  title->setFont(textFont(13, QFont::DemiBold));
  layout->addWidget(title);
  rowLayout_->setSpacing(2);
  layout->addLayout(rowLayout_);
  hide();
}

void RecentScansList::setEntries(const std::vector<tarnwick::ScanSnapshotStore::Entry> &entries, std::int64_t now) {
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
      row->setText(QStringLiteral("%1  —  %2 · %3 items · %4")
                       .arg(displayText(header->rootPath), tarnwick::TreemapPalette::formatBytes(header->totalBytes),
                            QLocale().toString(qulonglong(header->fileCount)),
                            ageText(std::max<std::int64_t>(0, now - header->scanTime))));
      row->setToolTip(QStringLiteral("Scanned %1").arg(QLocale().toString(
          QDateTime::fromSecsSinceEpoch(header->scanTime), QLocale::LongFormat)));
      connect(row, &QPushButton::clicked, this, [this, file] { emit openRequested(file); });
    } else {
      row->setText(QStringLiteral("%1  —  cannot be read").arg(file));
      row->setToolTip(entry.error ? QString::fromStdString(entry.error->message()) : QString());
      row->setEnabled(false);
    }
    rowLayout_->addWidget(row);
    rows_.append(row);
  }
  setVisible(!rows_.isEmpty());
}

QString RecentScansList::ageText(std::int64_t seconds) {
  struct Unit {
    std::int64_t seconds;
    const char *one, *many;
  };
  static constexpr Unit units[] = {{86'400, "%n day ago", "%n days ago"},
                                   {3'600, "%n hour ago", "%n hours ago"},
                                   {60, "%n minute ago", "%n minutes ago"}};
  for (const Unit &unit : units)
    if (seconds >= unit.seconds) {
      const std::int64_t count = seconds / unit.seconds;
      return QString::fromLatin1(count == 1 ? unit.one : unit.many).replace(QStringLiteral("%n"), QString::number(count));
    }
  return QStringLiteral("just now");
}

} // namespace quillane
