#pragma once

#include <optional>
#include <vector>

#include "base/text.h"

namespace velbrook {

// The text conventions shared by the web routines. Positions are 1-based byte positions; 0 means
// "not found". Character-wise stepping treats a byte with the high bit set as the lead of a
// two-byte unit, so no match ever begins on the second byte of a double-byte character.

// Length in bytes of the character that starts at byte offset `offset` (0-based): 2 for a lead byte
// that has a byte after it, 1 otherwise.
inline std::size_t CharLengthAt(const Text& text, std::size_t offset) {
  return (static_cast<unsigned char>(text[offset]) & 0x80) && offset + 1 < text.size() ? 2 : 1;
}

// First occurrence of `needle` at or after `start` (a start below 1 means 1). An empty needle is
// found at position 1 when the searched part is not empty. `ignoreCase` folds ASCII A-Z only.
int FindText(const Text& text, const Text& needle, int start = 1, bool ignoreCase = false);

// Last occurrence lying wholly within the first `start - 1` bytes; the whole text without a start.
int FindTextBackward(const Text& text, const Text& needle, std::optional<int> start = std::nullopt);

// ASCII letters A-Z to a-z; every other byte (and the second byte of a double-byte unit) unchanged.
Text LowerAscii(const Text& text);

// Removes the space 0x20 and the ideographic space A1 A1 at both ends; tabs and line breaks stay.
Text TrimSpaces(const Text& text);

// Removes every 0x20 and every ideographic space A1 A1.
Text RemoveSpaces(const Text& text);

// Replaces every occurrence of `from` by `to`, scanning left to right without overlap.
Text ReplaceAll(const Text& text, const Text& from, const Text& to, bool ignoreCase = false);

// Pieces between separators, in order. Adjacent separators give an empty piece; a separator at the
// very end gives none after it; an empty text gives no pieces.
std::vector<Text> SplitText(const Text& text, const Text& separator);

// First or last `count` characters (a double-byte unit counts as one character); a count of 0 or less
// gives the empty text, a count beyond the length the whole text.
Text LeftChars(const Text& text, int count);
Text RightChars(const Text& text, int count);

// Reads a decimal integer the way the C library's strtoll does for base 10: leading white space, an
// optional sign, then the digits up to the first other character; saturates at the 64-bit bounds and
// gives 0 when there are no digits.
std::int64_t ReadInt64(const Text& text);

}  // namespace velbrook
