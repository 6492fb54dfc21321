#include "TarnwickApp/Windows/ScanningHUDView.h"

#include "TarnwickUI/BusySpinner.h"
#include "TarnwickUI/TreemapPalette.h"
#include "TarnwickUI/WidgetStyle.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace quillane {
namespace {

using namespace tarnwick::WidgetStyle;

/// A caption over a value, one column of the statistics panel.
QLabel *addStatistic(QHBoxLayout *row, const QString &caption, const QColor &colour, QWidget *parent) {
  auto *column = new QVBoxLayout;
  column->setSpacing(2);
  QLabel *captionLabel = makeLabel({}, textFont(11), secondaryText(), parent);
  captionLabel->setText(caption);
  QLabel *value = makeLabel({}, textFont(17, QFont::Bold, Design::monospaced), colour, parent);
  column->addWidget(captionLabel);
  column->addWidget(value);
  row->addLayout(column);
  return value;
}

} // namespace

ScanningHUDView::ScanningHUDView(QWidget *parent)
    : QWidget(parent), path_(makeLabel({}, textFont(11, QFont::Normal, Design::monospaced), secondaryText(), this)),
      statistics_(new QFrame(this)), cancel_(new QPushButton(tr("Cancel Scan"), this)),
      stop_(new QPushButton(tr("Stop"), this)) {
  auto *layout = new QVBoxLayout(this);
  layout->setSpacing(24);
  layout->addStretch();
  auto *spinner = new tarnwick::BusySpinner(51, this); // the platform spinner, scaled by 1.6
  layout->addWidget(spinner, 0, Qt::AlignHCenter);
  layout->addSpacing(8); // below the spinner, on top of the stack spacing

  auto *titles = new QVBoxLayout;
  titles->setSpacing(6);
  QLabel *title = makeLabel({}, textFont(22, QFont::Bold), primaryText(), this);
  title->setText(tr("Analyzing Storage…"));
  path_->setFixedWidth(500);
  path_->setAlignment(Qt::AlignHCenter);
  titles->addWidget(title, 0, Qt::AlignHCenter);
  titles->addWidget(path_, 0, Qt::AlignHCenter);
  layout->addLayout(titles);

  statistics_->setObjectName(QStringLiteral("statisticsPanel"));
  statistics_->setStyleSheet(QStringLiteral("#statisticsPanel { background: %1; border: 1px solid rgba(255,255,255,22);"
                                            " border-radius: 12px; }")
                                 .arg(controlBackground().name()));
  auto *row = new QHBoxLayout(statistics_);
  row->setContentsMargins(18, 18, 18, 18);
  row->setSpacing(36);
  accumulated_ = addStatistic(row, tr("Accumulated Size"), QColor(0x3d, 0x8b, 0xfd), statistics_);
  files_ = addStatistic(row, tr("Files Scanned"), primaryText(), statistics_);
  directories_ = addStatistic(row, tr("Directories"), primaryText(), statistics_);
  layout->addWidget(statistics_, 0, Qt::AlignHCenter);

  cancel_->setMinimumWidth(120);
  stop_->setMinimumWidth(120);
  stop_->setToolTip(tr("Stop reading and show what was read so far"));
  connect(cancel_, &QPushButton::clicked, this, &ScanningHUDView::cancelRequested);
  connect(stop_, &QPushButton::clicked, this, [this] {
    // Freezing what was read can take seconds on a large tree: say the
    // stop was heard, and keep it from being asked twice.
    stop_->setEnabled(false);
    stop_->setText(tr("Stopping…"));
    emit stopRequested();
  });
  auto *buttons = new QHBoxLayout;
  buttons->setSpacing(12);
  buttons->addWidget(stop_);
  buttons->addWidget(cancel_);
  layout->addLayout(buttons);
  layout->setAlignment(buttons, Qt::AlignHCenter);
  layout->addStretch();
  setProgress(std::nullopt);
}

void ScanningHUDView::setProgress(const std::optional<tarnwick::ScanProgress> &progress) {
  path_->setVisible(progress.has_value());
  statistics_->setVisible(progress.has_value());
  if (!progress) { // a new scan
    stop_->setEnabled(true);
    stop_->setText(tr("Stop"));
    return;
  }
  const QString path = displayText(progress->currentPath);
  path_->setToolTip(path);
  path_->setText(QFontMetrics(path_->font()).elidedText(path, Qt::ElideMiddle, path_->width()));
  const QLocale locale;
  accumulated_->setText(tarnwick::TreemapPalette::formatBytes(progress->accumulatedBytes));
  files_->setText(locale.toString(qlonglong(progress->scannedFiles)));
  directories_->setText(locale.toString(qlonglong(progress->scannedDirectories)));
}

bool ScanningHUDView::isShowingStatistics() const { return !statistics_->isHidden(); }
QString ScanningHUDView::currentPathText() const { return path_->toolTip(); }
QString ScanningHUDView::accumulatedText() const { return accumulated_->text(); }
QString ScanningHUDView::filesText() const { return files_->text(); }
QString ScanningHUDView::directoriesText() const { return directories_->text(); }

} // namespace quillane
