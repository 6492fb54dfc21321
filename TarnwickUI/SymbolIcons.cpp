#include "TarnwickUI/SymbolIcons.h"

#include <QFile>
#include <QPainter>

#include <array>
#include <utility>

namespace tarnwick {
namespace {

struct SymbolRow {
  std::string_view symbol;
  const char *themeName;
};

// Symbol key → freedesktop icon name. The "-symbolic" names are monochrome,
// so they take a tint the way the design expects.
constexpr std::array symbolTable{
    SymbolRow{"folder", "folder-symbolic"},
};

const SymbolRow *findRow(std::string_view symbol) {
  for (const SymbolRow &row : symbolTable)
    if (row.symbol == symbol)
      return &row;
  return nullptr;
}

QString bundledPath(std::string_view symbol) {
  return QStringLiteral(":/quillane/icons/") + QString::fromUtf8(symbol.data(), qsizetype(symbol.size())) +
         QStringLiteral(".svg");
}

} // namespace

QString SymbolIcons::themeName(std::string_view symbol) {
  const SymbolRow *row = findRow(symbol);
  return row ? QString::fromLatin1(row->themeName) : QString();
}

QIcon SymbolIcons::icon(std::string_view symbol) {
  const SymbolRow *row = findRow(symbol);
  if (!row)
    return {};
  QIcon themed = QIcon::fromTheme(QString::fromLatin1(row->themeName));
  if (!themed.isNull())
    return themed;
  const QString bundled = bundledPath(symbol);
  return QFile::exists(bundled) ? QIcon(bundled) : QIcon();
}

QPixmap SymbolIcons::tinted(std::string_view symbol, int size, const QColor &tint, qreal devicePixelRatio) {
  const int device = qMax(1, qRound(size * devicePixelRatio));
  QPixmap result(device, device);
  result.fill(Qt::transparent);
  result.setDevicePixelRatio(devicePixelRatio);
  const QIcon source = icon(symbol);
  if (source.isNull())
    return result;
  QPainter painter(&result);
  source.paint(&painter, QRect(0, 0, size, size));
  // Keep the drawing's coverage, replace its colour.
  painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
  painter.fillRect(QRect(0, 0, size, size), tint);
  return result;
}

} // namespace tarnwick
