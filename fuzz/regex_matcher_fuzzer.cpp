// RegexMatcher's Create over an arbitrary pattern and subject, with every match and group read with
// its position, and the replacements.
// Input: options, then pattern \0 replacement \0 subject (the subject may hold zero bytes).
// Option bits: 0 case rule given, 1 case-sensitive, 2 multiline, 3 global, 4 quote marker.
#include <cstddef>
#include <cstdint>
#include <optional>

#include "fuzz/fuzz_input.h"
#include "regex/regex_matcher.h"

namespace velbrook::fuzz {
namespace {

// Reading more matches than this shows nothing new and only slows the fuzzer down.
constexpr int kMatchesRead = 64;

void CheckPiece(const Text& subject, const Text& piece, int position) {
  if (position == RegexMatcher::kNoPosition) {
    Check(piece.empty(), "a piece without a position is empty");
    return;
  }
  Check(position >= 0 && static_cast<std::size_t>(position) <= subject.size(),
        "positions lie in the subject");
  Check(subject.compare(static_cast<std::size_t>(position), piece.size(), piece) == 0,
        "the piece stands at its position");
}

void CheckMatches(const RegexMatcher& matcher, const Text& subject) {
  const int count = matcher.MatchCount();
  const int groups = matcher.SubMatchCount();
  Check(count >= 0 && groups >= 0, "counts are not negative");
  Check(count > 0 || groups == 0, "no match, no groups");
  for (int index : {-1, 0, count + 1}) {
    int position = 12345;
    Check(matcher.GetMatch(index, &position).empty() && position == RegexMatcher::kNoPosition,
          "a match index out of range gives nothing");
  }
  for (int match = 1; match <= count && match <= kMatchesRead; ++match) {
    int position = 12345;
    const Text text = matcher.GetMatch(match, &position);
    Check(position != RegexMatcher::kNoPosition, "every match has a position");
    CheckPiece(subject, text, position);
    for (int group = 0; group <= groups + 1; ++group) {
      position = 12345;
      const Text piece = matcher.GetSubMatch(match, group, &position);
      if (group == 0 || group > groups) {
        Check(piece.empty() && position == RegexMatcher::kNoPosition, "a group out of range gives nothing");
      } else {
        CheckPiece(subject, piece, position);
      }
    }
  }
}

}  // namespace
}  // namespace velbrook::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace velbrook;
  using namespace velbrook::fuzz;
  const FuzzInput input = SplitInput(data, size, 3);
  const Text& pattern = input.fields[0];
  const Text& replacement = input.fields[1];
  const Text& subject = input.fields[2];
  const std::optional<bool> caseSensitive =
      input.Option(0) ? std::optional<bool>(input.Option(1)) : std::nullopt;

  RegexMatcher matcher;
  const bool created =
      matcher.Create(pattern, subject, caseSensitive, input.Option(2), input.Option(3), input.Option(4));
  Check(created == (matcher.Status() == RegexStatus::kOk), "Create tells the status");
  if (!created) {
    Check(matcher.MatchCount() == 0 && matcher.Replace("$&").empty(), "a failed run leaves no match");
    return 0;
  }
  CheckMatches(matcher, subject);
  Check(matcher.Replace("$&") == subject, "replacing each match by itself gives the subject");
  (void)matcher.Replace(replacement);  // only that it ends, without a fault

  const RegexMatcher copy = matcher;  // a copy reads the same run
  Check(copy.MatchCount() == matcher.MatchCount(), "a copy shares the run");
  return 0;
}
