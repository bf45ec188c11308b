#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/ticks.h"
#include "regex/regex_status.h"

namespace velbrook::regex_detail {

// An offset of a group that took no part in a match.
inline constexpr std::uint32_t kUnsetOffset = UINT32_MAX;

struct MatchOptions {
  bool ignoreCase = true;
  bool multiline = true;
  bool global = true;
  bool useJit = true;  // off only to test the interpreter; the JIT falls back to it by itself
};

// Every match of one run: for match i and group g (0 = the whole match), the UTF-8 byte offsets
// offsets[(i * (groupCount + 1) + g) * 2] (start) and the one after it (end).
struct MatchList {
  std::size_t groupCount = 0;
  std::vector<std::uint32_t> offsets;

  std::size_t Count() const { return offsets.size() / ((groupCount + 1) * 2); }
};

// Compiles a pattern of the JavaScript dialect (both texts in UTF-8, valid) and collects its matches
// from left to right: every match, or only the first when `global` is off. After an empty match the
// search goes on one character further. `clock` bounds the run as a whole; each single search is
// bounded by the engine's own limits. Gives kOk, and `out` then holds the matches, or the reason.
RegexStatus FindMatches(const std::string& pattern, const std::string& subject, const MatchOptions& options,
                        const TickSource& clock, MatchList& out);

}  // namespace velbrook::regex_detail
