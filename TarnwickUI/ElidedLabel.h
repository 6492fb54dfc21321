#pragma once

#include <QLabel>

namespace tarnwick {

/// A one-line label that asks for room for its whole text and, given less,
/// shows it shortened with "…" to the width it has. The text is plain: a
/// name that looks like markup shows as it is.
///
/// Threads: GUI thread only.
class ElidedLabel : public QLabel {
  Q_OBJECT

public:
  explicit ElidedLabel(Qt::TextElideMode mode, QWidget *parent = nullptr);

  /// What the label shows when wide enough; text() is what it shows now.
  void setFullText(const QString &text);
  QString fullText() const { return fullText_; }

  /// Room for the whole text.
  QSize sizeHint() const override;
  /// Room for "…" alone: the label gives way before anything beside it.
  QSize minimumSizeHint() const override;

protected:
  void resizeEvent(QResizeEvent *event) override;
  void changeEvent(QEvent *event) override;

private:
  int widthFor(const QString &text) const;
  void elide();

  Qt::TextElideMode mode_;
  QString fullText_;
};

} // namespace tarnwick
