#include "TarnwickApp/Commands/TreemapExport.h"

#include "TarnwickApp/Commands/XmlText.h"
#include "TarnwickUI/TreemapPalette.h"
#include "TarnwickUI/TreemapTilePainter.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>

#include <cerrno>
#include <cmath>
#include <nlohmann/json.hpp>

namespace quillane {
namespace {

using tarnwick::TreemapRect;

// The explorer's dark canvas, so tiles read as they do in the window.
const QColor canvasBackground(0x1c, 0x1c, 0x1e);

nlohmann::ordered_json rectJson(const tarnwick::CanvasRect &r) {
  return {{"x", r.x}, {"y", r.y}, {"width", r.width}, {"height", r.height}};
}

void paintCanvas(QPainter &painter, std::span<const TreemapRect> tiles, tarnwick::CanvasSize size) {
  painter.fillRect(QRectF(0, 0, size.width, size.height), canvasBackground);
  tarnwick::TreemapTilePainter::paint(painter, tiles);
}

} // namespace

std::string treemapJson(std::span<const TreemapRect> tiles) {
  nlohmann::ordered_json array = nlohmann::ordered_json::array();
  for (const TreemapRect &tile : tiles) {
    array.push_back({
        {"id", tile.id},
        {"name", tile.node.name},
        {"path", tile.node.path},
        {"frame", rectJson(tile.frame)},
        {"insetFrame", rectJson(tile.insetFrame)},
        {"fractionOfParent", tile.fractionOfParent},
        {"isAggregatedTail", tile.isAggregatedTail},
        {"aggregatedItemCount", tile.aggregatedItemCount},
        {"fill", tarnwick::TreemapPalette::tileColor(tile, 0, false).name().toStdString()},
    });
  }
  return array.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

bool writeTreemapPng(std::span<const TreemapRect> tiles, tarnwick::CanvasSize size, std::FILE *out) {
  QImage image(static_cast<int>(std::ceil(size.width)), static_cast<int>(std::ceil(size.height)),
               QImage::Format_ARGB32_Premultiplied);
  if (image.isNull()) { // its pixels could not be allocated
    errno = ENOMEM;
    return false;
  }
  QPainter painter(&image);
  paintCanvas(painter, tiles, size);
  painter.end();
  QFile file;
  return file.open(out, QIODevice::WriteOnly) && image.save(&file, "PNG") && file.flush();
}

bool writeTreemapSvg(std::span<const TreemapRect> tiles, tarnwick::CanvasSize size, std::FILE *out,
                     const std::string &title) {
  // QSvgGenerator writes the title as given and names with control
  // characters raw; the drawing is made in memory and checked before it
  // goes out.
  QBuffer drawing;
  drawing.open(QIODevice::WriteOnly);
  QSvgGenerator svg;
  svg.setOutputDevice(&drawing);
  svg.setSize(QSize(static_cast<int>(std::ceil(size.width)), static_cast<int>(std::ceil(size.height))));
  svg.setViewBox(QRectF(0, 0, size.width, size.height));
  svg.setTitle(QString::fromStdString(escapedXmlText(title)));
  QPainter painter;
  if (!painter.begin(&svg))
    return false;
  paintCanvas(painter, tiles, size);
  if (!painter.end())
    return false;
  const QByteArray &bytes = drawing.data();
  const std::string document =
      validXmlCharacters(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
  return std::fwrite(document.data(), 1, document.size(), out) == document.size() && std::fflush(out) == 0;
}

} // namespace quillane
