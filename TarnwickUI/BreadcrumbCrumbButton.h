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
/// A name wider than maximumTextWidth is elided in the middle; the full
/// name stays the button's text and accessible name, and becomes its
/// tooltip (in lines short enough to stay on the screen).
///
/// Threads: GUI thread only.
class BreadcrumbCrumbButton : public QAbstractButton {
  Q_OBJECT

public:
  enum class Glyph { none, drive, folder };
  /// The widest a name is drawn, in device-independent pixels.
  static constexpr int maximumTextWidth = 240;

  BreadcrumbCrumbButton(const QString &name, Glyph glyph, bool isCurrent, QWidget *parent = nullptr);

  Glyph glyph() const { return glyph_; }
  bool isCurrent() const { return isCurrent_; }

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override { return sizeHint(); }
  /// The name as drawn at the crumb's present width.
  QString shownText() const;

  /// Secondary text: the window text colour at 55 % of its opacity.
  static QColor secondaryTextColor(const QPalette &palette);

protected:
  void paintEvent(QPaintEvent *event) override;

private:
  /// Where the name starts: after the padding and the symbol, if any.
  qreal textLeft() const;

  Glyph glyph_;
  bool isCurrent_;
};

} // namespace tarnwick
