#pragma once

#include <QImage>
#include <QString>

#include <array>
#include <functional>
#include <optional>
#include <vector>

namespace velbrook {

// The picture of a one-line text whose ASCII digits change while the rest stays, put together from
// strips of column that were each drawn once, instead of being laid out and drawn anew. It is made
// from pictures that the caller draws, and it is only made where a digit's place changes no column
// that another digit's place changes, so that every composed picture equals the drawn one.
class DigitStripPicture {
 public:
  // Draws the whole picture of a text.
  using Draw = std::function<QImage(const QString&)>;

  // The text with every ASCII digit written as '0': texts of one pattern share one picture.
  static QString Pattern(const QString& text);

  // Draws the pattern and each digit in each place once; empty when the places of two digits share
  // a column, when the picture put together for `text` differs from its drawing, or when the text has
  // more digits than is worth drawing ahead.
  static std::optional<DigitStripPicture> Make(const QString& text, const Draw& draw);

  // Whether the text has this picture's pattern, without building the text's pattern.
  bool Fits(const QString& text) const;

  // The picture of a text of this picture's pattern; nullptr for a text of another pattern.
  const QImage* Compose(const QString& text);

 private:
  // The columns [left, left + width) that the digit at `index` of the text alone decides.
  struct Place {
    qsizetype index = 0;
    int left = 0;
    int width = 0;
    std::array<QImage, 10> strips;
  };

  DigitStripPicture(QImage picture, QString pattern, std::vector<Place> places);

  QImage picture_;
  QString pattern_;
  QString shown_;  // the text that picture_ shows; empty before the first composition
  std::vector<Place> places_;
};

}  // namespace velbrook
