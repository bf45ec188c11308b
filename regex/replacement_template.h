#pragma once

#include <cstddef>
#include <vector>

#include "base/text.h"

namespace velbrook::regex_detail {

// One piece of a parsed replacement text (the syntax stands at RegexMatcher::Replace).
struct ReplacementPiece {
  enum class Kind { kLiteral, kGroup, kBeforeMatch, kAfterMatch };
  Kind kind = Kind::kLiteral;
  Text literal;           // for kLiteral
  std::size_t group = 0;  // for kGroup: 0 is the whole match
};

// Splits `replacement` into literal runs and references, for a pattern of `groupCount` groups.
std::vector<ReplacementPiece> ParseReplacement(const Text& replacement, std::size_t groupCount);

}  // namespace velbrook::regex_detail
