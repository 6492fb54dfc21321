#include "TarnwickApp/Windows/PreferencesView.h"

#include "TarnwickUI/SymbolIcons.h"
#include "TarnwickUI/WidgetStyle.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QTabWidget>
#include <QVBoxLayout>

#include <string>

namespace quillane {
namespace {

using namespace tarnwick::WidgetStyle;

// The words tarnwick::statusWords() gives, listed for lupdate: the window
// shows them translated, keyed by the English words.
[[maybe_unused]] const char *const statusTexts[] = {
    QT_TRANSLATE_NOOP("quillane::PreferencesView", "All readable"),
    QT_TRANSLATE_NOOP("quillane::PreferencesView", "Some folders unreadable"),
    QT_TRANSLATE_NOOP("quillane::PreferencesView", "Nothing to check"),
};

const QString oneFileSystemKey = QStringLiteral("scan/oneFileSystem");
const QString includeRemoteKey = QStringLiteral("scan/includeRemote");
const QString excludesKey = QStringLiteral("scan/excludes");

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
  texts->addWidget(wrappedLabel(tr("The folders Quillane reads, and why."), textFont(11),
                             secondaryText(), page));
  header->addLayout(texts, 1);
  // Linux has no privacy pane to send the user to; what can change is what
  // the files' permissions allow, so the button asks the probes again.
  auto *check = new QPushButton(tr("Check Again"), page);
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
  tabs_->addTab(page, tarnwick::SymbolIcons::icon("lock.shield.fill"), tr("Access"));
  tabs_->addTab(makeScanningPage(), tr("Scanning"));
  refreshStatus();
}

QWidget *PreferencesView::makeScanningPage() {
  const tarnwick::ScanScope saved = savedScanScope();
  auto *page = new QWidget(tabs_);
  auto *layout = new QVBoxLayout(page);
  layout->setContentsMargins(20, 20, 20, 20);
  layout->setSpacing(10);
  oneFileSystem_ = new QCheckBox(tr("Stay on one file system"), page);
  oneFileSystem_->setChecked(saved.oneFileSystem);
  layout->addWidget(oneFileSystem_);
  includeRemote_ = new QCheckBox(tr("Include network file systems and disk images"), page);
  includeRemote_->setChecked(saved.includeRemote);
  layout->addWidget(includeRemote_);
  layout->addWidget(wrappedLabel(tr("Exclude, one pattern a line: a name (*.o, node_modules) or a path "
                                                "below the scanned folder (src/*/build); a trailing / means "
                                                "folders only; lines starting with # are comments."),
                                 textFont(11), secondaryText(), page));
  excludes_ = new QPlainTextEdit(page);
  QStringList lines;
  for (const std::string &pattern : saved.excludes)
    lines.append(QString::fromStdString(pattern));
  excludes_->setPlainText(lines.join(QLatin1Char('\n')));
  layout->addWidget(excludes_, 1);
  connect(oneFileSystem_, &QCheckBox::toggled, this, &PreferencesView::saveScanScope);
  connect(includeRemote_, &QCheckBox::toggled, this, &PreferencesView::saveScanScope);
  connect(excludes_, &QPlainTextEdit::textChanged, this, &PreferencesView::saveScanScope);
  return page;
}

void PreferencesView::saveScanScope() const {
  QStringList patterns;
  for (const QString &line : excludes_->toPlainText().split(QLatin1Char('\n')))
    if (!line.trimmed().isEmpty())
      patterns.append(line);
  QSettings settings;
  settings.setValue(oneFileSystemKey, oneFileSystem_->isChecked());
  settings.setValue(includeRemoteKey, includeRemote_->isChecked());
  settings.setValue(excludesKey, patterns);
}

tarnwick::ScanScope PreferencesView::savedScanScope() {
  // QSettings is reentrant: an instance of its own on each calling thread.
  const QSettings settings;
  tarnwick::ScanScope scope;
  scope.oneFileSystem = settings.value(oneFileSystemKey, false).toBool();
  scope.includeRemote = settings.value(includeRemoteKey, false).toBool();
  for (const QString &pattern : settings.value(excludesKey).toStringList())
    if (!pattern.startsWith(QLatin1Char('#'))) // a comment, as in an exclude file
      scope.excludes.push_back(pattern.toStdString());
  return scope;
}

void PreferencesView::refreshStatus() {
  const tarnwick::FullDiskAccessStatus status = probe_ ? probe_() : tarnwick::FullDiskAccessStatus::undetermined;
  status_->setText(tr("Status: ") + tr(std::string(tarnwick::statusWords(status)).c_str()));
}

QString PreferencesView::statusText() const { return status_->text(); }
int PreferencesView::transparencyRowCount() const { return list_->count(); }

} // namespace quillane
