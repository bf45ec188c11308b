#include "regex/subject_text.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>

#include "base/code_page.h"

namespace velbrook::regex_detail {
namespace {

// A mark every 4 KiB of UTF-8 keeps a look-up within one short walk while costing 16 bytes per mark.
constexpr std::size_t kMarkStride = 4096;

constexpr std::uint64_t kHighBits = 0x8080808080808080ull;

inline unsigned char Byte(char c) { return static_cast<unsigned char>(c); }

// Length of the UTF-8 sequence that `lead` begins (the form is valid: it comes from iconv).
inline std::size_t Utf8Length(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead < 0xE0) return 2;
  if (lead < 0xF0) return 3;
  return 4;
}

// Length of the GB18030 character at `at`: one byte below 0x80, four when the second byte is a digit
// (the four-byte form), two otherwise. Each of these is exactly one Unicode character.
inline std::size_t Gb18030Length(const Text& text, std::size_t at) {
  if (Byte(text[at]) < 0x80) return 1;
  if (at + 1 < text.size() && text[at + 1] >= '0' && text[at + 1] <= '9') return 4;
  return 2;
}

}  // namespace

SubjectText::SubjectText(Text text, std::string utf8) : text_(std::move(text)), utf8_(std::move(utf8)) {
  marks_.push_back(Mark{});
}

std::optional<SubjectText> SubjectText::FromText(Text text) {
  bool ok = false;
  std::string utf8 = TextToUtf8(text, &ok);
  if (!ok) return std::nullopt;
  return SubjectText(std::move(text), std::move(utf8));
}

SubjectText::Mark SubjectText::Walk(Mark from, std::size_t utf8Target) const {
  utf8Target = std::min(utf8Target, utf8_.size());
  while (from.utf8 < utf8Target && from.text < text_.size()) {
    // Pages are mostly ASCII, which is the same byte in both forms: skip it a word at a time.
    if (utf8Target - from.utf8 >= sizeof(std::uint64_t) &&
        from.text + sizeof(std::uint64_t) <= text_.size()) {
      std::uint64_t word = 0;
      std::memcpy(&word, utf8_.data() + from.utf8, sizeof word);
      if ((word & kHighBits) == 0) {
        from.utf8 += sizeof word;
        from.text += sizeof word;
        continue;
      }
    }
    unsigned char lead = Byte(utf8_[from.utf8]);
    if (lead < 0x80) {
      ++from.utf8;
      ++from.text;
      continue;
    }
    from.utf8 += Utf8Length(lead);
    from.text += Gb18030Length(text_, from.text);
  }
  from.text = std::min(from.text, text_.size());
  return from;
}

std::size_t SubjectText::TextOffset(std::size_t utf8Offset) {
  utf8Offset = std::min(utf8Offset, utf8_.size());
  while (marks_.size() * kMarkStride <= utf8Offset) {
    marks_.push_back(Walk(marks_.back(), marks_.size() * kMarkStride));
  }
  auto after = std::upper_bound(marks_.begin(), marks_.end(), utf8Offset,
                                [](std::size_t offset, const Mark& mark) { return offset < mark.utf8; });
  return Walk(*std::prev(after), utf8Offset).text;
}

Text SubjectText::Slice(std::size_t utf8Begin, std::size_t utf8End) {
  std::size_t begin = TextOffset(utf8Begin);
  std::size_t end = TextOffset(utf8End);
  return end > begin ? text_.substr(begin, end - begin) : Text();
}

}  // namespace velbrook::regex_detail
