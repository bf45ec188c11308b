#include "base/text_routines.h"

#include <algorithm>
#include <cctype>
#include <limits>

namespace velbrook {
namespace {

constexpr char kIdeographicSpace[] = "\xA1\xA1";

inline unsigned char Byte(char c) { return static_cast<unsigned char>(c); }
inline char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Whether `needle` stands at byte offset `at` of `text`. With ignoreCase only single-byte ASCII letters
// fold; both bytes of a double-byte unit compare exactly.
bool MatchesAt(const Text& text, std::size_t at, const Text& needle, bool ignoreCase) {
  if (at + needle.size() > text.size()) return false;
  if (needle.empty()) return true;
  // Searches call this at every character of the text: the first byte turns most places away
  // before any comparison is set up.
  if (text[at] != needle[0] && (!ignoreCase || FoldAscii(text[at]) != FoldAscii(needle[0]))) return false;
  if (!ignoreCase) return text.compare(at, needle.size(), needle) == 0;
  std::size_t i = 0;
  while (i < needle.size()) {
    if (Byte(needle[i]) & 0x80) {
      std::size_t unit = i + 1 < needle.size() ? 2 : 1;
      if (text.compare(at + i, unit, needle, i, unit) != 0) return false;
      i += unit;
    } else {
      if (FoldAscii(text[at + i]) != FoldAscii(needle[i])) return false;
      ++i;
    }
  }
  return true;
}

// Visits the character boundaries of `text` from `from` up to `limit`; stops when `visit` says so.
template <typename Visit>
void ForEachCharStart(const Text& text, std::size_t from, std::size_t limit, Visit visit) {
  for (std::size_t at = from; at < limit; at += CharLengthAt(text, at)) {
    if (!visit(at)) return;
  }
}

}  // namespace

int FindText(const Text& text, const Text& needle, int start, bool ignoreCase) {
  std::size_t from = start < 1 ? 0 : static_cast<std::size_t>(start - 1);
  if (from >= text.size()) return 0;
  if (needle.empty()) return 1;
  int found = 0;
  ForEachCharStart(text, from, text.size(), [&](std::size_t at) {
    if (MatchesAt(text, at, needle, ignoreCase)) {
      found = static_cast<int>(at + 1);
      return false;
    }
    return true;
  });
  return found;
}

int FindTextBackward(const Text& text, const Text& needle, std::optional<int> start) {
  std::size_t limit = text.size();
  if (start) {
    if (*start <= 1) return 0;
    limit = std::min<std::size_t>(text.size(), static_cast<std::size_t>(*start - 1));
  }
  if (needle.size() > limit) return 0;
  int found = 0;
  ForEachCharStart(text, 0, limit, [&](std::size_t at) {
    if (at + needle.size() <= limit && MatchesAt(text, at, needle, false)) found = static_cast<int>(at + 1);
    return true;
  });
  return found;
}

Text LowerAscii(const Text& text) {
  Text out = text;
  ForEachCharStart(out, 0, out.size(), [&](std::size_t at) {
    out[at] = FoldAscii(out[at]);
    return true;
  });
  return out;
}

Text TrimSpaces(const Text& text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end) {
    if (text[begin] == ' ') {
      ++begin;
    } else if (end - begin >= 2 && text.compare(begin, 2, kIdeographicSpace) == 0) {
      begin += 2;
    } else {
      break;
    }
  }
  // Trailing spaces are found by walking characters from the start, so that the second byte of a
  // double-byte character is never taken for a space.
  std::size_t lastKept = begin;
  ForEachCharStart(text, begin, end, [&](std::size_t at) {
    std::size_t len = CharLengthAt(text, at);
    bool space = text[at] == ' ' || (len == 2 && text.compare(at, 2, kIdeographicSpace) == 0);
    if (!space) lastKept = at + len;
    return true;
  });
  return text.substr(begin, lastKept - begin);
}

Text RemoveSpaces(const Text& text) {
  Text out;
  out.reserve(text.size());
  ForEachCharStart(text, 0, text.size(), [&](std::size_t at) {
    std::size_t len = CharLengthAt(text, at);
    bool space = text[at] == ' ' || (len == 2 && text.compare(at, 2, kIdeographicSpace) == 0);
    if (!space) out.append(text, at, len);
    return true;
  });
  return out;
}

Text ReplaceAll(const Text& text, const Text& from, const Text& to, bool ignoreCase) {
  if (from.empty()) return text;
  Text out;
  out.reserve(text.size());
  std::size_t at = 0;
  while (at < text.size()) {
    if (MatchesAt(text, at, from, ignoreCase)) {
      out += to;
      at += from.size();
    } else {
      std::size_t len = CharLengthAt(text, at);
      out.append(text, at, len);
      at += len;
    }
  }
  return out;
}

std::vector<Text> SplitText(const Text& text, const Text& separator) {
  std::vector<Text> pieces;
  if (text.empty()) return pieces;
  if (separator.empty()) {
    pieces.push_back(text);
    return pieces;
  }
  std::size_t pieceStart = 0;
  std::size_t at = 0;
  while (at < text.size()) {
    if (MatchesAt(text, at, separator, false)) {
      pieces.push_back(text.substr(pieceStart, at - pieceStart));
      at += separator.size();
      pieceStart = at;
    } else {
      at += CharLengthAt(text, at);
    }
  }
  if (pieceStart < text.size()) pieces.push_back(text.substr(pieceStart));
  return pieces;
}

Text LeftChars(const Text& text, int count) {
  if (count <= 0) return Text();
  std::size_t end = 0;
  int taken = 0;
  while (end < text.size() && taken < count) {
    end += CharLengthAt(text, end);
    ++taken;
  }
  return text.substr(0, end);
}

Text RightChars(const Text& text, int count) {
  if (count <= 0) return Text();
  std::vector<std::size_t> starts;
  ForEachCharStart(text, 0, text.size(), [&](std::size_t at) {
    starts.push_back(at);
    return true;
  });
  if (static_cast<std::size_t>(count) >= starts.size()) return text;
  return text.substr(starts[starts.size() - static_cast<std::size_t>(count)]);
}

std::int64_t ReadInt64(const Text& text) {
  std::size_t at = 0;
  while (at < text.size() && std::isspace(Byte(text[at]))) ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
    negative = text[at] == '-';
    ++at;
  }
  constexpr auto kMax = std::numeric_limits<std::int64_t>::max();
  constexpr auto kMin = std::numeric_limits<std::int64_t>::min();
  std::uint64_t magnitude = 0;
  const std::uint64_t limit =
      negative ? static_cast<std::uint64_t>(kMax) + 1 : static_cast<std::uint64_t>(kMax);
  bool saturated = false;
  for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
    auto digit = static_cast<std::uint64_t>(text[at] - '0');
    if (saturated || magnitude > (limit - digit) / 10) {
      saturated = true;
      continue;
    }
    magnitude = magnitude * 10 + digit;
  }
  if (saturated) return negative ? kMin : kMax;
  if (negative) return magnitude == limit ? kMin : -static_cast<std::int64_t>(magnitude);
  return static_cast<std::int64_t>(magnitude);
}

}  // namespace velbrook
