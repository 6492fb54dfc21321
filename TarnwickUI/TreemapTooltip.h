#pragma once

#include "TarnwickUI/ChangeColouring.h"
#include "TarnwickUI/TreemapRect.h"

#include <QColor>
#include <QPointF>
#include <QSizeF>
#include <QString>
#include <QWidget>

#include <optional>

class QPropertyAnimation;

namespace tarnwick {

/// The floating panel beside the pointer that describes one tile: its
/// category, share of the folder, name, size and item count, and for a
/// folder a hint that it can be entered. It takes no input and fades in and
/// out over 0.12 s.
///
/// Threads: GUI thread only.
class TreemapTooltip : public QWidget {
  Q_OBJECT
  Q_PROPERTY(qreal panelOpacity READ panelOpacity WRITE setPanelOpacity)

public:
  /// The panel's nominal size in points, which placement assumes.
  static constexpr double nominalWidth = 260, nominalHeight = 120;

  /// What the panel says about a tile.
  struct Content {
    QString symbol;        ///< category symbol key, or the tail's
    QColor symbolTint;
    QString categoryLabel; ///< category title, "Folder" or "File" without one, or "Sub-pixel Aggregated Tail"
    QString percentage;
    QString name;
    QString size;
    QString count;         ///< "1 file", "1,234 items", "12 files"
    bool showsDrillHint = false;
  };
  static Content contentFor(const TreemapRect &tile);

  /// Where the panel's centre goes for the pointer at `cursor` on a canvas
  /// of `canvas` size: right of and below the pointer, flipped left or up
  /// when that would leave the canvas, never closer than 10 points to its
  /// top or left edge.
  static QPointF centreFor(QPointF cursor, QSizeF canvas);

  explicit TreemapTooltip(QWidget *parent);

  /// Shows `tile` (fading in if hidden) or, given nothing, fades out.
  /// `name`, when not empty, replaces the node's name (a nested tile is
  /// named by its path below the folder on show). An active `changes`
  /// (describing the tile's tree) puts how the tile changed, in its colour,
  /// where the category goes.
  void present(const std::optional<TreemapRect> &tile, const QString &name = {},
               const ChangeColouring &changes = {});
  /// Moves the panel for the pointer at `cursor` on the parent's canvas.
  void follow(QPointF cursor);
  bool isPresenting() const { return presenting_; }
  const Content &content() const { return content_; }

  qreal panelOpacity() const { return opacity_; }
  void setPanelOpacity(qreal opacity);

protected:
  void paintEvent(QPaintEvent *event) override;

private:
  void fadeTo(qreal target);
  int contentHeight() const;

  Content content_;
  bool presenting_ = false;
  qreal opacity_ = 0;
  QPropertyAnimation *fade_;
};

} // namespace tarnwick
