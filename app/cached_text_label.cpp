#include "app/cached_text_label.h"

#include <QPaintEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>

#include <cmath>
#include <utility>

namespace velbrook {
namespace {

constexpr double kMetresPerInch = 0.0254;
// Patterns kept at once: a download run shows a few (one per count of digits), so a label that
// goes beyond this is shown texts of many shapes and starts afresh.
constexpr std::size_t kMostPatterns = 32;

bool HasAsciiDigit(const QString& text) {
  for (QChar character : text) {
    if (character >= u'0' && character <= u'9') return true;
  }
  return false;
}

}  // namespace

bool CachedTextLabel::Look::operator==(const Look& other) const {
  return font == other.font && palette == other.palette &&
         palette.currentColorGroup() == other.palette.currentColorGroup() && background == other.background &&
         size == other.size && pixelRatio == other.pixelRatio && alignment == other.alignment &&
         margin == other.margin && indent == other.indent && enabled == other.enabled &&
         active == other.active && direction == other.direction && style == other.style;
}

CachedTextLabel::CachedTextLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
  // The label paints its background itself, so its ancestors skip the pass under it.
  setAttribute(Qt::WA_OpaquePaintEvent);
}

CachedTextLabel::~CachedTextLabel() = default;

void CachedTextLabel::paintEvent(QPaintEvent* event) {
  if (!PaintsTextItself()) {
    {
      QPainter painter(this);
      PaintBackground(painter);
    }
    QLabel::paintEvent(event);
    return;
  }
  const QString shown = text();
  const QImage* picture = KeptPicture(shown);
  QPainter painter(this);
  if (picture != nullptr) {
    painter.drawImage(QPoint(0, 0), *picture);
  } else {
    PaintPlain(painter, shown);
  }
}

bool CachedTextLabel::PaintsTextItself() const {
  constexpr Qt::TextInteractionFlags kSelectable =
      Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard | Qt::TextEditable;
  return textFormat() == Qt::PlainText && pixmap().isNull() && movie() == nullptr && buddy() == nullptr &&
         frameShape() == QFrame::NoFrame && !(textInteractionFlags() & kSelectable);
}

CachedTextLabel::Look CachedTextLabel::CurrentLook() const {
  Look look;
  look.font = font();
  look.palette = palette();
  look.background = BackgroundBrush();
  look.size = size();
  look.pixelRatio = devicePixelRatioF();
  look.alignment = static_cast<int>(alignment()) | (wordWrap() ? Qt::TextWordWrap : 0);
  look.margin = margin();
  look.indent = indent();
  look.enabled = isEnabled();
  look.active = isActiveWindow();
  look.direction = layoutDirection();
  look.style = style();
  return look;
}

QBrush CachedTextLabel::BackgroundBrush() const {
  for (const QWidget* widget = parentWidget(); widget != nullptr; widget = widget->parentWidget()) {
    if (widget->isWindow()) return widget->palette().brush(QPalette::Window);
    if (widget->autoFillBackground()) return widget->palette().brush(widget->backgroundRole());
  }
  return palette().brush(QPalette::Window);  // a label that is a window of its own
}

QPoint CachedTextLabel::BackgroundOrigin() const {
  QPoint origin;
  for (const QWidget* widget = this; widget != nullptr && !widget->isWindow();
       widget = widget->parentWidget()) {
    const QWidget* parent = widget->parentWidget();
    origin -= widget->pos();
    if (parent != nullptr && parent->autoFillBackground()) break;
  }
  return origin;
}

void CachedTextLabel::PaintBackground(QPainter& painter) const {
  painter.save();
  painter.setCompositionMode(QPainter::CompositionMode_Source);
  painter.setBrushOrigin(BackgroundOrigin());
  painter.fillRect(rect(), BackgroundBrush());
  painter.restore();
}

void CachedTextLabel::PaintPlain(QPainter& painter, const QString& text) const {
  PaintBackground(painter);
  const Qt::LayoutDirection direction = text.isRightToLeft() ? Qt::RightToLeft : Qt::LeftToRight;
  const int align = static_cast<int>(QStyle::visualAlignment(direction, alignment()));
  QRect area = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
  int indentation = indent();
  if (indentation < 0 && frameWidth() != 0) indentation = fontMetrics().horizontalAdvance(u'x') / 2;
  if (indentation > 0) {
    if (align & Qt::AlignLeft) area.setLeft(area.left() + indentation);
    if (align & Qt::AlignRight) area.setRight(area.right() - indentation);
    if (align & Qt::AlignTop) area.setTop(area.top() + indentation);
    if (align & Qt::AlignBottom) area.setBottom(area.bottom() - indentation);
  }
  int flags = align | (direction == Qt::LeftToRight ? Qt::TextForceLeftToRight : Qt::TextForceRightToLeft);
  if (wordWrap()) flags |= Qt::TextWordWrap;
  QStyleOption option;
  option.initFrom(this);
  style()->drawItemText(&painter, area, flags, option.palette, isEnabled(), text, foregroundRole());
}

QImage CachedTextLabel::Draw(const QString& text) const {
  const qreal ratio = devicePixelRatioF();
  QImage image(size() * ratio, QImage::Format_RGB32);
  if (image.isNull()) return image;
  image.setDevicePixelRatio(ratio);
  // The fonts resolve against the picture's resolution, which is therefore the label's own.
  image.setDotsPerMeterX(static_cast<int>(std::lround(logicalDpiX() / kMetresPerInch)));
  image.setDotsPerMeterY(static_cast<int>(std::lround(logicalDpiY() / kMetresPerInch)));
  QPainter painter(&image);
  painter.setFont(font());
  painter.setLayoutDirection(layoutDirection());
  PaintPlain(painter, text);
  return image;
}

const QImage* CachedTextLabel::KeptPicture(const QString& text) {
  // A wrapped text is laid out as a whole, and a fractional pixel ratio does not map columns to
  // whole pixels.
  const qreal ratio = devicePixelRatioF();
  if (wordWrap() || text.isRightToLeft() || !HasAsciiDigit(text) || ratio != std::floor(ratio))
    return nullptr;
  Look look = CurrentLook();
  if (!keptLook_ || !(*keptLook_ == look)) {
    pictures_.clear();
    lastPicture_ = nullptr;
    keptLook_ = std::move(look);
  }
  if (lastPicture_ != nullptr && lastPicture_->Fits(text)) return lastPicture_->Compose(text);
  const QString pattern = DigitStripPicture::Pattern(text);
  auto kept = pictures_.find(pattern);
  if (kept == pictures_.end()) {
    if (pictures_.size() >= kMostPatterns) {
      pictures_.clear();
      lastPicture_ = nullptr;
    }
    kept = pictures_
               .emplace(pattern,
                        DigitStripPicture::Make(text, [this](const QString& drawn) { return Draw(drawn); }))
               .first;
  }
  if (!kept->second) return nullptr;
  lastPicture_ = &*kept->second;
  return lastPicture_->Compose(text);
}

}  // namespace velbrook
