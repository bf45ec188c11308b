#include "app/digit_strip_picture.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace velbrook {
namespace {

constexpr int kDigitCount = 10;
// Beyond this many digits, drawing every digit in every place ahead costs more than it saves.
constexpr qsizetype kMostPlaces = 24;

bool IsAsciiDigit(QChar character) { return character >= u'0' && character <= u'9'; }

QChar DigitCharacter(int digit) { return QChar(static_cast<char16_t>(u'0' + digit)); }

// The columns in which two pictures of one size and format differ, as [left, right); left == right
// when they are equal.
std::pair<int, int> DifferingColumns(const QImage& one, const QImage& other) {
  int left = one.width();
  int right = 0;
  const auto rowBytes = static_cast<std::size_t>(one.width()) * sizeof(QRgb);
  for (int y = 0; y < one.height(); ++y) {
    const auto* a = reinterpret_cast<const QRgb*>(one.constScanLine(y));
    const auto* b = reinterpret_cast<const QRgb*>(other.constScanLine(y));
    if (std::memcmp(a, b, rowBytes) == 0) continue;
    for (int x = 0; x < one.width(); ++x) {
      if (a[x] != b[x]) {
        left = std::min(left, x);
        right = std::max(right, x + 1);
      }
    }
  }
  return left < right ? std::make_pair(left, right) : std::make_pair(0, 0);
}

// Once per repaint: the rows are reached through one detach of the picture, not one per row, and a
// strip is a few pixels wide, so its pixels are copied one by one rather than through memcpy calls.
void CopyStrip(const QImage& strip, int left, QImage& picture) {
  const int width = strip.width();
  const qsizetype stripStride = strip.bytesPerLine() / static_cast<qsizetype>(sizeof(QRgb));
  const qsizetype pictureStride = picture.bytesPerLine() / static_cast<qsizetype>(sizeof(QRgb));
  const auto* from = reinterpret_cast<const QRgb*>(strip.constBits());
  auto* to = reinterpret_cast<QRgb*>(picture.bits()) + left;
  for (int y = 0, rows = strip.height(); y < rows; ++y) {
    for (int x = 0; x < width; ++x) to[x] = from[x];
    from += stripStride;
    to += pictureStride;
  }
}

}  // namespace

QString DigitStripPicture::Pattern(const QString& text) {
  QString pattern = text;
  for (QChar& character : pattern) {
    if (IsAsciiDigit(character)) character = u'0';
  }
  return pattern;
}

std::optional<DigitStripPicture> DigitStripPicture::Make(const QString& text, const Draw& draw) {
  const QString pattern = Pattern(text);
  const QImage patternPicture = draw(pattern);
  if (patternPicture.isNull() || patternPicture.format() != QImage::Format_RGB32) return std::nullopt;

  std::vector<Place> places;
  for (qsizetype index = 0; index < pattern.size(); ++index) {
    if (pattern[index] != u'0') continue;
    if (static_cast<qsizetype>(places.size()) == kMostPlaces) return std::nullopt;
    std::array<QImage, kDigitCount> pictures;
    pictures[0] = patternPicture;
    int left = patternPicture.width();
    int right = 0;
    for (int digit = 1; digit < kDigitCount; ++digit) {
      QString variant = pattern;
      variant[index] = DigitCharacter(digit);
      pictures[digit] = draw(variant);
      if (pictures[digit].size() != patternPicture.size() ||
          pictures[digit].format() != patternPicture.format()) {
        return std::nullopt;
      }
      const auto [from, to] = DifferingColumns(patternPicture, pictures[digit]);
      if (from < to) {
        left = std::min(left, from);
        right = std::max(right, to);
      }
    }
    if (left >= right) continue;  // the digit is drawn outside the picture
    Place place;
    place.index = index;
    place.left = left;
    place.width = right - left;
    for (int digit = 0; digit < kDigitCount; ++digit) {
      place.strips[digit] = pictures[digit].copy(left, 0, place.width, patternPicture.height());
    }
    places.push_back(std::move(place));
  }

  // Places in text order need not lie in column order (a right-to-left run), so they are sorted first.
  std::vector<const Place*> byColumn;
  for (const Place& place : places) byColumn.push_back(&place);
  std::sort(byColumn.begin(), byColumn.end(),
            [](const Place* a, const Place* b) { return a->left < b->left; });
  for (std::size_t i = 1; i < byColumn.size(); ++i) {
    if (byColumn[i - 1]->left + byColumn[i - 1]->width > byColumn[i]->left) return std::nullopt;
  }

  DigitStripPicture picture(patternPicture, pattern, std::move(places));
  const QImage* composed = picture.Compose(text);
  if (composed == nullptr || *composed != draw(text)) return std::nullopt;
  return picture;
}

DigitStripPicture::DigitStripPicture(QImage picture, QString pattern, std::vector<Place> places)
    : picture_(std::move(picture)), pattern_(std::move(pattern)), places_(std::move(places)) {}

bool DigitStripPicture::Fits(const QString& text) const {
  if (text.size() != pattern_.size()) return false;
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (pattern_[i] == u'0' ? !IsAsciiDigit(text[i]) : text[i] != pattern_[i]) return false;
  }
  return true;
}

const QImage* DigitStripPicture::Compose(const QString& text) {
  if (!Fits(text)) return nullptr;
  for (const Place& place : places_) {
    const QChar character = text[place.index];
    if (!shown_.isEmpty() && shown_[place.index] == character) continue;
    CopyStrip(place.strips[character.unicode() - u'0'], place.left, picture_);
  }
  shown_ = text;
  return &picture_;
}

}  // namespace velbrook
