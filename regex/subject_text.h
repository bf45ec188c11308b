#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "base/text.h"

namespace velbrook::regex_detail {

// A subject held twice: as the caller's Text (GB18030) and as the UTF-8 the engine searches.
// Offsets found in the UTF-8 form are turned into byte offsets of the Text by walking both forms in
// step, one character at a time. The walk is lazy and leaves marks behind it, so that a 12 MB page
// from which one match is read costs one walk up to that match, and later look-ups start near their
// target instead of at the start.
class SubjectText {
 public:
  // Empty when `text` is not valid GB18030.
  static std::optional<SubjectText> FromText(Text text);

  const Text& text() const { return text_; }
  const std::string& utf8() const { return utf8_; }

  // The Text byte offset of the character that starts at `utf8Offset`, a character boundary of the
  // UTF-8 form (its size included).
  std::size_t TextOffset(std::size_t utf8Offset);

  // The piece of the Text between two UTF-8 boundaries.
  Text Slice(std::size_t utf8Begin, std::size_t utf8End);

 private:
  struct Mark {
    std::size_t utf8 = 0;
    std::size_t text = 0;
  };

  SubjectText(Text text, std::string utf8);
  Mark Walk(Mark from, std::size_t utf8Target) const;

  Text text_;
  std::string utf8_;
  // marks_[k] is the first character boundary at or after k * kMarkStride UTF-8 bytes.
  std::vector<Mark> marks_;
};

}  // namespace velbrook::regex_detail
