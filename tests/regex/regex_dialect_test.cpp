#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "regex/regex_matcher.h"
#include "tests/regex/gb_text.h"

namespace velbrook {
namespace {

using testing_support::Gb;

struct DialectCase {
  const char* name;
  std::string pattern;  // UTF-8 here, GB18030 for the matcher
  std::string subject;
  std::vector<std::string> matches;
  std::optional<bool> caseSensitive = std::nullopt;
  bool multiline = true;
  bool global = true;
};

std::vector<std::string> AllMatches(const RegexMatcher& matcher) {
  std::vector<std::string> texts;
  for (int i = 1; i <= matcher.MatchCount(); ++i) texts.push_back(TextToUtf8(matcher.GetMatch(i)));
  return texts;
}

const DialectCase kDialectCases[] = {
    {"lazy quantifier takes the nearest end", "a.*?b", "aXbYb", {"aXb"}},
    {"greedy quantifier takes the farthest end", "a.*b", "aXbYb", {"aXbYb"}},
    {"braces that form no count are literal", R"(\[{(.*?)}\])", "x[{a}]y", {"[{a}]"}},
    {"an opening brace alone", "{", "a{b", {"{"}},
    {"a closing brace alone", "}", "a}b", {"}"}},
    {"an open-ended count", "x{2,}", "x xx xxx", {"xx", "xxx"}},
    {"a count without a lower bound is literal", "x{,3}", "xxx x{,3}", {"x{,3}"}},
    {"an exact count", "x{2}", "xxx", {"xx"}},
    {"an empty class matches nothing", "a[]", "a]", {}},
    {"a negated empty class matches anything", "[^]", "a\nb", {"a", "\n", "b"}},
    {"\\u escape", R"(\u0041\u4e2d)", "xA中", {"A中"}, true},
    {"\\x escape", R"(\x41)", "xA", {"A"}, true},
    {"an unknown escape is the letter", R"(\q)", "pq", {"q"}},
    {"\\C is the letter, never a single byte", R"(\C)", "中C", {"C"}, true},
    {"dot matches no line feed", "a.b", "a\nb", {}},
    {"dot matches no carriage return", "a.b", "a\rb", {}},
    {"dot matches a tab", "a.b", "a\tb", {"a\tb"}},
    {"dot takes a whole character outside the BMP", "a.b", "a😀b", {"a😀b"}},
    {"case ignored by default", "abc", "ABC", {"ABC"}},
    {"case ignored when not case-sensitive", "abc", "ABC", {"ABC"}, false},
    {"case respected when case-sensitive", "abc", "ABC", {}, true},
    {"case folding beyond ASCII", "σ", "Σ", {"Σ"}},
    {"multiline anchors at LF", "^b$", "a\nb\nc", {"b"}},
    {"multiline anchors at CRLF", "^b$", "a\r\nb\r\nc", {"b"}},
    {"multiline anchors at CR", "^b$", "a\rb\rc", {"b"}},
    {"anchors at the ends only without multiline", "^b$", "a\nb\nc", {}, std::nullopt, false},
    {"dollar ignores a final LF without multiline", "a$", "a\n", {}, std::nullopt, false},
    {"every match when global", "a", "aaa", {"a", "a", "a"}},
    {"the first match only when not global", "a", "aaa", {"a"}, std::nullopt, true, false},
    {"empty matches move on one character", "x*", "ab", {"", "", ""}},
    {"empty matches step over whole characters", "x*", "中😀", {"", "", ""}},
    {"a back reference to an unset group matches empty", R"((a)?b\1)", "b", {"b"}},
    {"a class of CJK characters", "[中文]+", "这是中文", {"中文"}},
    {"digits are ASCII digits", R"(\d+)", "１２3", {"3"}},
    {"word characters are ASCII", R"(\w+)", "中ab", {"ab"}},
    {"alternation in a repeated group", "(ab|cd)+", "abcdx", {"abcd"}},
    {"word boundaries", R"(\bcat\b)", "cat concat cat", {"cat", "cat"}},
};

TEST(RegexDialect, MatchesAsTheJavaScriptDialect) {
  for (const DialectCase& c : kDialectCases) {
    SCOPED_TRACE(c.name);
    RegexMatcher matcher;
    ASSERT_TRUE(matcher.Create(Gb(c.pattern), Gb(c.subject), c.caseSensitive, c.multiline, c.global));
    EXPECT_EQ(AllMatches(matcher), c.matches);
  }
}

TEST(RegexDialect, RefusesWhatDoesNotCompile) {
  const char* kInvalid[] = {"(", "a)", "[a", "*a", "a**", "(?<n>a)(?<n>b)"};
  for (const char* pattern : kInvalid) {
    SCOPED_TRACE(pattern);
    RegexMatcher matcher;
    EXPECT_FALSE(matcher.Create(pattern, "a"));
    EXPECT_EQ(matcher.Status(), RegexStatus::kBadPattern);
  }
}

}  // namespace
}  // namespace velbrook
