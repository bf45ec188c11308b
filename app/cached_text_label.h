#pragma once

#include <QFont>
#include <QLabel>
#include <QPalette>
#include <QString>

#include <memory>
#include <optional>
#include <unordered_map>

#include "app/digit_strip_picture.h"

namespace velbrook {

// A plain-text label that is repainted often: it paints its ancestors' background itself instead of
// having them paint under it, and it keeps the pictures of one-line texts whose digits change (bytes
// received, a count), so that such a repaint copies a few strips of pixels instead of laying out and
// drawing the text. It shows exactly what a QLabel with the same settings shows over a background
// that its ancestors fill with a brush and nothing else; other settings (a frame, a picture, rich
// text, selectable text) are painted the way QLabel paints them.
class CachedTextLabel : public QLabel {
 public:
  explicit CachedTextLabel(const QString& text, QWidget* parent = nullptr);
  ~CachedTextLabel() override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  // Everything besides the text that the pictures depend on; any change drops them.
  struct Look {
    QFont font;
    QPalette palette;
    QBrush background;
    QSize size;
    qreal pixelRatio = 1;
    int alignment = 0;
    int margin = 0;
    int indent = 0;
    bool enabled = true;
    bool active = false;
    Qt::LayoutDirection direction = Qt::LeftToRight;
    const QStyle* style = nullptr;
    bool operator==(const Look& other) const;
  };

  bool PaintsTextItself() const;
  Look CurrentLook() const;
  // What the nearest ancestor that paints a background paints under this label.
  QBrush BackgroundBrush() const;
  QPoint BackgroundOrigin() const;
  void PaintBackground(QPainter& painter) const;
  // The background and the text, as QLabel paints plain text over its ancestors' background.
  void PaintPlain(QPainter& painter, const QString& text) const;
  QImage Draw(const QString& text) const;
  // The kept picture of the text, made on first use; nullptr when the text is not worth keeping or
  // cannot be put together from strips.
  const QImage* KeptPicture(const QString& text);

  std::optional<Look> keptLook_;
  // By pattern; an empty entry marks a pattern that cannot be put together.
  std::unordered_map<QString, std::optional<DigitStripPicture>> pictures_;
  // The picture last shown, in pictures_: a run of texts of one pattern skips building the pattern.
  DigitStripPicture* lastPicture_ = nullptr;
};

}  // namespace velbrook
