#include "TarnwickApp/Windows/TrashItemsModel.h"

#include "TarnwickUI/TreemapPalette.h"
#include "TarnwickUI/WidgetStyle.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QLocale>

namespace quillane {
namespace {

// The translation context of the texts this file shows outside a QObject.
struct Texts {
  Q_DECLARE_TR_FUNCTIONS(quillane::TrashItemsModel)
};

using tarnwick::TrashedItem;
using tarnwick::WidgetStyle::displayText;

// Where the item came from or, without a usable record, where it lies and why.
QString origin(const TrashedItem &item) {
  if (!item.hasEntry())
    return displayText(item.recordPath()) + Texts::tr(" (a record without its item)");
  if (!item.isRestorable())
    return displayText(item.entryPath()) + Texts::tr(" (no usable record of where it came from)");
  return displayText(item.originalPath);
}

QString deleted(const TrashedItem &item) {
  const QDateTime when = QDateTime::fromString(QString::fromStdString(item.deletionDate), Qt::ISODate);
  return when.isValid() ? QLocale().toString(when, QLocale::ShortFormat) : QString();
}

} // namespace

void TrashItemsModel::setItems(std::vector<TrashedItem> items) {
  beginResetModel();
  items_ = std::move(items);
  endResetModel();
}

int TrashItemsModel::rowCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : int(items_.size()); }
int TrashItemsModel::columnCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : numberOfColumns; }

QVariant TrashItemsModel::data(const QModelIndex &index, int role) const {
  if (!index.isValid() || std::size_t(index.row()) >= items_.size())
    return {};
  const TrashedItem &item = items_[std::size_t(index.row())];
  if (role == Qt::DisplayRole || (role == Qt::ToolTipRole && index.column() == originalPathColumn)) {
    switch (index.column()) {
    case originalPathColumn:
      return origin(item);
    case deletedColumn:
      return deleted(item);
    case sizeColumn:
      // A folder that could not be read completely holds at least this much.
      return (item.sizeComplete ? QString() : QStringLiteral("≥ ")) + tarnwick::TreemapPalette::formatBytes(item.sizeBytes);
    default:
      return {};
    }
  }
  if (role == Qt::TextAlignmentRole && index.column() == sizeColumn)
    return int(Qt::AlignRight | Qt::AlignVCenter);
  if (role == Qt::ForegroundRole && !item.isRestorable())
    return tarnwick::WidgetStyle::secondaryText();
  return {};
}

QVariant TrashItemsModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
    return {};
  switch (section) {
  case originalPathColumn:
    return tr("Original Path");
  case deletedColumn:
    return tr("Deleted");
  case sizeColumn:
    return tr("Size");
  default:
    return {};
  }
}

} // namespace quillane
