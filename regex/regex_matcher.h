#pragma once

#include <memory>
#include <optional>

#include "base/text.h"
#include "base/ticks.h"
#include "regex/regex_status.h"

namespace velbrook {

// One regular-expression run over one subject, and what it found.
//
// Patterns are read in the JavaScript dialect: lazy quantifiers, capture groups, anchors, character
// classes ("[]" matches nothing, "[^]" any character), \uhhhh and \xhh escapes, an unknown escape as
// the character itself, and a brace that forms no count ("{", "}", "x{,3}") as an ordinary character.
// Matching works on Unicode characters, not on bytes. "." matches neither LF nor CR; CR, LF and CRLF
// end a line for "^" and "$" in multiline mode; "$" otherwise stands only at the very end.
//
// Indexes of matches and groups start at 1. A position is the 0-based byte offset of a text in the
// subject as given (GB18030); kNoPosition stands for a match or group that does not exist, or a group
// that took no part in the match.
//
// Each search stops at limits that grow with the subject, and the run as a whole at a time budget:
// a pattern that backtracks without end makes Create give false instead of hanging.
//
// Copies share the run (pattern, subject and matches); a later Create on either one replaces only its
// own. Not for use from several threads at once: positions are worked out lazily.
class RegexMatcher {
 public:
  static constexpr int kNoPosition = -2;

  // `clock` bounds a run; the default is the monotonic tick counter.
  explicit RegexMatcher(TickSource clock = MonotonicTickCount);

  // Runs `pattern` over `subject`. Case is ignored unless `caseSensitive` is given as true. With
  // `multiline`, "^" and "$" also stand at line ends; with `global`, every match is collected, from
  // left to right, else only the first. With `quoteMarker`, each "#引号" in the pattern stands for a
  // double quotation mark. True when the run ended, whether or not it found anything; false for an
  // invalid pattern, a subject or pattern that is not GB18030 text, or a run stopped at a limit
  // (Status tells which), which leaves no matches. The matcher keeps its own copy of `subject`; a
  // caller done with a large page can move it in.
  bool Create(const Text& pattern, Text subject, std::optional<bool> caseSensitive = std::nullopt,
              bool multiline = true, bool global = true, bool quoteMarker = false);

  // Takes nothing and does nothing; it keeps its place among the operations.
  void Reserved() const {}

  // The pattern of the last Create, after the quote-marker replacement; empty before any Create.
  Text GetPattern() const;

  // The subject with the matches replaced (each one, or the first when `global` was off), or the empty
  // text when there is no successful run. In `replacement`:
  //   $1 .. $99  the text of that group (empty when it took no part); two digits are read when they
  //              name a group of the pattern, else one digit, so "$10" is group 1 and "0" when the
  //              pattern has fewer than ten groups
  //   $&         the whole match
  //   $`  $'     the subject before the match, after the match
  //   $$         one "$"
  // Any other "$", such as "$0", "$x", a "$" at the end or one naming a group the pattern lacks, is
  // copied as it stands.
  Text Replace(const Text& replacement) const;

  // Number of matches; 0 before Create and after a failed one.
  int MatchCount() const;

  // The text of match `index`, and in `position` (when given) where it starts. Empty for an index out
  // of range.
  Text GetMatch(int index, int* position = nullptr) const;

  // The text of group `subIndex` of match `matchIndex`, and in `position` (when given) where it starts.
  Text GetSubMatch(int matchIndex, int subIndex, int* position = nullptr) const;

  // Number of groups of the pattern, read from the first match: 0 when there is no match.
  int SubMatchCount() const;

  // What the last Create came to.
  RegexStatus Status() const;

 private:
  struct Run;

  Text PieceOf(int matchIndex, int group, int* position) const;

  TickSource clock_;
  std::shared_ptr<Run> run_;
};

}  // namespace velbrook
