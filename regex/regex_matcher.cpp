#include "regex/regex_matcher.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "base/code_page.h"
#include "base/text_routines.h"
#include "regex/match_engine.h"
#include "regex/replacement_template.h"
#include "regex/subject_text.h"

namespace velbrook {
namespace {

using regex_detail::kUnsetOffset;
using regex_detail::MatchList;
using regex_detail::ReplacementPiece;
using regex_detail::SubjectText;

// "#引号" in GB18030, the marker that stands for a double quotation mark in a pattern.
constexpr char kQuoteMarker[] = "#\xD2\xFD\xBA\xC5";
constexpr char kQuote[] = "\"";

// Positions are 32-bit, so longer subjects are refused.
constexpr std::size_t kMaxSubjectBytes = static_cast<std::size_t>(std::numeric_limits<int>::max());

}  // namespace

struct RegexMatcher::Run {
  Text pattern;
  RegexStatus status = RegexStatus::kNotCreated;
  std::optional<SubjectText> subject;  // only after a successful run
  MatchList matches;

  // Offset of group `group` (0: the whole match) of the 0-based match `match`; `end` picks its end.
  std::uint32_t Offset(std::size_t match, std::size_t group, bool end) const {
    return matches.offsets[(match * (matches.groupCount + 1) + group) * 2 + (end ? 1 : 0)];
  }
};

RegexMatcher::RegexMatcher(TickSource clock) : clock_(std::move(clock)) {
  if (!clock_) clock_ = MonotonicTickCount;
}

bool RegexMatcher::Create(const Text& pattern, Text subject, std::optional<bool> caseSensitive,
                          bool multiline, bool global, bool quoteMarker) {
  auto run = std::make_shared<Run>();
  run->pattern = quoteMarker ? ReplaceAll(pattern, kQuoteMarker, kQuote) : pattern;
  run_ = run;  // even a failed run replaces the last one

  bool patternOk = false;
  std::string patternUtf8 = TextToUtf8(run->pattern, &patternOk);
  std::optional<SubjectText> converted;
  if (patternOk && subject.size() <= kMaxSubjectBytes) converted = SubjectText::FromText(std::move(subject));
  if (!converted) {
    run->status = RegexStatus::kBadText;
    return false;
  }
  regex_detail::MatchOptions options;
  options.ignoreCase = !caseSensitive.value_or(false);
  options.multiline = multiline;
  options.global = global;
  run->status = regex_detail::FindMatches(patternUtf8, converted->utf8(), options, clock_, run->matches);
  if (run->status != RegexStatus::kOk) {
    run->matches = MatchList{};
    return false;
  }
  run->subject = std::move(converted);
  return true;
}

Text RegexMatcher::GetPattern() const { return run_ ? run_->pattern : Text(); }

int RegexMatcher::MatchCount() const {
  if (!run_) return 0;
  return static_cast<int>(std::min<std::size_t>(run_->matches.Count(), std::numeric_limits<int>::max()));
}

int RegexMatcher::SubMatchCount() const {
  return MatchCount() > 0 ? static_cast<int>(run_->matches.groupCount) : 0;
}

RegexStatus RegexMatcher::Status() const { return run_ ? run_->status : RegexStatus::kNotCreated; }

Text RegexMatcher::PieceOf(int matchIndex, int group, int* position) const {
  bool exists = matchIndex >= 1 && matchIndex <= MatchCount() && group >= 0 &&
                static_cast<std::size_t>(group) <= run_->matches.groupCount;
  std::uint32_t begin = kUnsetOffset;
  std::uint32_t end = kUnsetOffset;
  if (exists) {
    auto match = static_cast<std::size_t>(matchIndex - 1);
    begin = run_->Offset(match, static_cast<std::size_t>(group), false);
    end = run_->Offset(match, static_cast<std::size_t>(group), true);
  }
  if (begin == kUnsetOffset || end == kUnsetOffset) {
    if (position) *position = kNoPosition;
    return Text();
  }
  if (position) *position = static_cast<int>(run_->subject->TextOffset(begin));
  return run_->subject->Slice(begin, end);
}

Text RegexMatcher::GetMatch(int index, int* position) const { return PieceOf(index, 0, position); }

Text RegexMatcher::GetSubMatch(int matchIndex, int subIndex, int* position) const {
  // Group 0 is the whole match, which GetMatch gives; here groups count from 1.
  if (subIndex < 1) {
    if (position) *position = kNoPosition;
    return Text();
  }
  return PieceOf(matchIndex, subIndex, position);
}

Text RegexMatcher::Replace(const Text& replacement) const {
  if (!run_ || !run_->subject) return Text();
  SubjectText& subject = *run_->subject;
  const Text& text = subject.text();
  const std::vector<ReplacementPiece> pieces =
      regex_detail::ParseReplacement(replacement, run_->matches.groupCount);
  Text out;
  out.reserve(text.size());
  std::size_t copied = 0;
  for (std::size_t match = 0; match < run_->matches.Count(); ++match) {
    std::size_t begin = std::max(copied, subject.TextOffset(run_->Offset(match, 0, false)));
    std::size_t end = std::max(begin, subject.TextOffset(run_->Offset(match, 0, true)));
    out.append(text, copied, begin - copied);
    for (const ReplacementPiece& piece : pieces) {
      switch (piece.kind) {
        case ReplacementPiece::Kind::kLiteral:
          out += piece.literal;
          break;
        case ReplacementPiece::Kind::kGroup: {
          std::uint32_t groupBegin = run_->Offset(match, piece.group, false);
          std::uint32_t groupEnd = run_->Offset(match, piece.group, true);
          if (groupBegin != kUnsetOffset && groupEnd != kUnsetOffset)
            out += subject.Slice(groupBegin, groupEnd);
          break;
        }
        case ReplacementPiece::Kind::kBeforeMatch:
          out.append(text, 0, begin);
          break;
        case ReplacementPiece::Kind::kAfterMatch:
          out.append(text, end, Text::npos);
          break;
      }
    }
    copied = end;
  }
  out.append(text, copied, Text::npos);
  return out;
}

}  // namespace velbrook
