#include "TarnwickUI/NestedTreemapPainter.h"

#include <gtest/gtest.h>

#include <QFont>
#include <QFontMetricsF>

namespace tarnwick {
namespace {

TEST(NestedTreemapPainterTest, AFoldersHeaderShortensItsNameButNeverCutsItsSize) {
  const QFontMetricsF metrics{QFont()};
  const QString name = QStringLiteral("java-17-openjdk-amd64"), size = QStringLiteral("271.8 MB");
  const qreal full = metrics.horizontalAdvance(name + "  " + size);
  for (qreal width = 4; width <= full + 10; width += 3) {
    SCOPED_TRACE(width);
    const QString text = NestedTreemapPainter::headerText(name, size, metrics, width);
    EXPECT_LE(metrics.horizontalAdvance(text), width);
    if (width >= full)
      EXPECT_EQ(text, name + "  " + size);
    else if (text.endsWith("  " + size))
      EXPECT_GE(text.size() - size.size() - 2, 5) << "too few letters of the name beside the size: " << text.toStdString();
    else
      EXPECT_TRUE(text.isEmpty() || (text.size() >= 5 && !text.contains("MB"))) << "a fragment: " << text.toStdString();
  }
}

} // namespace
} // namespace tarnwick
