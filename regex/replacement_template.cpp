#include "regex/replacement_template.h"

namespace velbrook::regex_detail {
namespace {

inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }

void AddLiteral(std::vector<ReplacementPiece>& pieces, const Text& text) {
  if (!pieces.empty() && pieces.back().kind == ReplacementPiece::Kind::kLiteral) {
    pieces.back().literal += text;
  } else {
    pieces.push_back(ReplacementPiece{ReplacementPiece::Kind::kLiteral, text, 0});
  }
}

// The group that "$" followed by the digits at `at` names, and how many digits it takes: two digits
// when they name an existing group, else one, else none (the "$" is then literal).
std::size_t ReadGroupNumber(const Text& text, std::size_t at, std::size_t groupCount, std::size_t& digits) {
  digits = 0;
  if (at >= text.size() || !IsDigit(text[at])) return 0;
  std::size_t one = static_cast<std::size_t>(text[at] - '0');
  if (at + 1 < text.size() && IsDigit(text[at + 1])) {
    std::size_t two = one * 10 + static_cast<std::size_t>(text[at + 1] - '0');
    if (two >= 1 && two <= groupCount) {
      digits = 2;
      return two;
    }
  }
  if (one >= 1 && one <= groupCount) {
    digits = 1;
    return one;
  }
  return 0;
}

}  // namespace

std::vector<ReplacementPiece> ParseReplacement(const Text& replacement, std::size_t groupCount) {
  std::vector<ReplacementPiece> pieces;
  std::size_t literalStart = 0;
  std::size_t at = 0;
  // "$" is never a byte inside a GB18030 character, so a byte-wise scan sees only real "$" signs.
  while (at < replacement.size()) {
    if (replacement[at] != '$' || at + 1 >= replacement.size()) {
      ++at;
      continue;
    }
    char next = replacement[at + 1];
    ReplacementPiece piece;
    std::size_t length = 2;
    if (next == '$') {
      piece.literal.assign(1, '$');
    } else if (next == '&') {
      piece.kind = ReplacementPiece::Kind::kGroup;
    } else if (next == '`') {
      piece.kind = ReplacementPiece::Kind::kBeforeMatch;
    } else if (next == '\'') {
      piece.kind = ReplacementPiece::Kind::kAfterMatch;
    } else {
      std::size_t digits = 0;
      piece.group = ReadGroupNumber(replacement, at + 1, groupCount, digits);
      if (digits == 0) {
        ++at;  // a "$" that starts no reference stays as it is
        continue;
      }
      piece.kind = ReplacementPiece::Kind::kGroup;
      length = 1 + digits;
    }
    if (at > literalStart) AddLiteral(pieces, replacement.substr(literalStart, at - literalStart));
    if (piece.kind == ReplacementPiece::Kind::kLiteral) {
      AddLiteral(pieces, piece.literal);
    } else {
      pieces.push_back(piece);
    }
    at += length;
    literalStart = at;
  }
  if (replacement.size() > literalStart) AddLiteral(pieces, replacement.substr(literalStart));
  return pieces;
}

}  // namespace velbrook::regex_detail
