#pragma once

#include <QAbstractButton>
#include <QColor>

class QPalette;

namespace tarnwick {

/// One crumb of the treemap's breadcrumb bar: an optional symbol and a
/// folder name on a rounded pill. The crumb of the shown folder is bold on
/// an accent pill; the others are medium weight in the secondary text
/// colour. Sizes are device-independent pixels; colours come from the
/// palette at paint time, so a palette change needs no rebuild.
///
/// Threads: GUI thread only.
class BreadcrumbCrumbButton : public QAbstractButton {
  Q_OBJECT

public:
  enum class Glyph { none, drive, folder };

  BreadcrumbCrumbButton(const QString &name, Glyph glyph, bool isCurrent, QWidget *parent = nullptr);

  Glyph glyph() const { return glyph_; }
  bool isCurrent() const { return isCurrent_; }

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override { return sizeHint(); }

  /// Secondary text: the window text colour at 55 % of its opacity.
  static QColor secondaryTextColor(const QPalette &palette);

protected:
  void paintEvent(QPaintEvent *event) override;

private:
  Glyph glyph_;
  bool isCurrent_;
};

} // namespace tarnwick
