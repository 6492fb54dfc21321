#include "TarnwickUI/SymbolIcons.h"

#include <QFile>
#include <QPainter>
#include <QPixmapCache>
#include <QSvgRenderer>

#include <array>
#include <utility>

namespace tarnwick {
namespace {

struct SymbolRow {
  std::string_view symbol;
  const char *themeName;
};

// Symbol key → freedesktop icon name. The "-symbolic" names are monochrome,
// so they take a tint the way the design expects. Where no standard name
// draws the same thing, the row names the closest meaning; every key also
// has a bundled drawing under icons/ named after the key.
constexpr std::array symbolTable{
    SymbolRow{"folder", "folder-symbolic"},
    SymbolRow{"folder.fill", "folder-symbolic"},
    SymbolRow{"folder.badge.questionmark", "dialog-question-symbolic"},
    SymbolRow{"folder.badge.gearshape", "applications-system-symbolic"},
    SymbolRow{"doc.fill", "text-x-generic-symbolic"},
    SymbolRow{"doc.on.doc", "edit-copy-symbolic"},
    SymbolRow{"doc.zipper", "x-office-document-symbolic"},
    SymbolRow{"trash", "user-trash-symbolic"},
    SymbolRow{"trash.fill", "user-trash-full-symbolic"},
    SymbolRow{"arrow.down.forward.and.arrow.up.backward", "view-restore-symbolic"},
    SymbolRow{"arrow.clockwise", "view-refresh-symbolic"},
    SymbolRow{"square.stack.3d.down.right.fill", "view-paged-symbolic"},
    SymbolRow{"square.stack.3d.up.fill", "view-continuous-symbolic"},
    SymbolRow{"square.grid.2x2", "view-grid-symbolic"},
    SymbolRow{"circle.grid.2x2.fill", "view-app-grid-symbolic"},
    SymbolRow{"hand.tap.fill", "input-touchpad-symbolic"},
    SymbolRow{"chevron.left", "go-previous-symbolic"},
    SymbolRow{"chevron.right", "go-next-symbolic"},
    SymbolRow{"internaldrive.fill", "drive-harddisk-symbolic"},
    SymbolRow{"house.fill", "user-home-symbolic"},
    SymbolRow{"macwindow.on.rectangle", "focus-windows-symbolic"},
    SymbolRow{"lock.shield.fill", "security-high-symbolic"},
    SymbolRow{"eye.slash.fill", "view-conceal-symbolic"},
    SymbolRow{"sparkles", "starred-symbolic"},
    // The cleanable categories' symbols not already above.
    SymbolRow{"gearshape.2.fill", "emblem-system-symbolic"},
    SymbolRow{"hammer.fill", "applications-engineering-symbolic"},
    SymbolRow{"shippingbox.fill", "package-x-generic-symbolic"},
    SymbolRow{"cube.box.fill", "application-x-appliance-symbolic"},
    SymbolRow{"film.stack.fill", "video-x-generic-symbolic"},
    SymbolRow{"globe", "web-browser-symbolic"},
    SymbolRow{"cpu.fill", "application-x-firmware-symbolic"},
    // The application's own icon, installed into hicolor under the desktop id;
    // full colour, so a tint flattens it to its silhouette.
    SymbolRow{"quillane", "io.github.quillane.Quillane"},
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
  // Widgets ask again on every paint; drawing an SVG each time would cost
  // more than the rest of their painting.
  const QString key = QStringLiteral("quillane-symbol:%1:%2:%3:%4")
                          .arg(QString::fromUtf8(symbol.data(), qsizetype(symbol.size())))
                          .arg(size)
                          .arg(tint.rgba(), 8, 16)
                          .arg(devicePixelRatio);
  QPixmap cached;
  if (QPixmapCache::find(key, &cached))
    return cached;
  QPixmap drawn = drawTinted(symbol, size, tint, devicePixelRatio);
  QPixmapCache::insert(key, drawn);
  return drawn;
}

QPixmap SymbolIcons::drawTinted(std::string_view symbol, int size, const QColor &tint, qreal devicePixelRatio) {
  const int device = qMax(1, qRound(size * devicePixelRatio));
  QPixmap result(device, device);
  result.fill(Qt::transparent);
  const SymbolRow *row = findRow(symbol);
  if (!row) {
    result.setDevicePixelRatio(devicePixelRatio);
    return result;
  }
  QPainter painter(&result);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  const QRect box(0, 0, device, device);
  const QIcon themed = QIcon::fromTheme(QString::fromLatin1(row->themeName));
  if (!themed.isNull()) {
    painter.drawPixmap(box, themed.pixmap(box.size()));
  } else {
    // Drawn at the device size: a QIcon never scales a bundled drawing up.
    QSvgRenderer drawing(bundledPath(symbol));
    drawing.render(&painter, box);
  }
  // Keep the drawing's coverage, replace its colour.
  painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
  painter.fillRect(box, tint);
  painter.end();
  result.setDevicePixelRatio(devicePixelRatio);
  return result;
}

} // namespace tarnwick
