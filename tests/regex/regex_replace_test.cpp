#include <gtest/gtest.h>

#include <string>

#include "regex/regex_matcher.h"
#include "tests/regex/gb_text.h"

namespace velbrook {
namespace {

using testing_support::Gb;

std::string Repeat(const std::string& piece, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += piece;
  return out;
}

struct ReplaceCase {
  const char* name;
  std::string pattern;
  std::string subject;
  std::string replacement;
  std::string result;
  bool global = true;
};

const ReplaceCase kReplaceCases[] = {
    {"groups swapped", R"((\w+) (\w+))", "ab cd", "$2 $1", "cd ab"},
    {"the whole match", "b", "abc", "[$&]", "a[b]c"},
    {"a dollar sign", "b", "abc", "$$", "a$c"},
    {"the texts before and after the match", "b", "abc", "<$`|$'>", "a<a|c>c"},
    {"$0 is literal", "b", "abc", "$0", "a$0c"},
    {"a dollar before a letter and at the end", "b", "abc", "$x$", "a$x$c"},
    {"a group the pattern lacks is literal", "(a)(b)", "ab", "$3", "$3"},
    {"$10 with one group is group 1 then 0", "(a)", "a", "$10", "a0"},
    {"$10 with ten groups is group 10", Repeat("(.)", 10), "abcdefghij", "$10$1", "ja"},
    {"$01 is group 1", "(a)", "a", "$01", "a"},
    {"$99 with 99 groups", Repeat("(.)", 98) + "(z)", Repeat("a", 98) + "z", "$99$1", "za"},
    {"a group that took no part is empty", "(x)?b", "ab", "[$1]", "a[]"},
    {"every match when global", "a", "aaa", "b", "bbb"},
    {"the first match only when not global", "a", "aaa", "b", "baa", false},
    {"empty matches", "x*", "ab", "-", "-a-b-"},
    {"CJK matches", "文", "中文字", "$&$&", "中文文字"},
    {"CJK around a reference", "(a)", "a", "中$1文", "中a文"},
    {"no match keeps the subject", "z", "abc", "$&", "abc"},
};

TEST(RegexReplace, FollowsTheReplacementSyntax) {
  for (const ReplaceCase& c : kReplaceCases) {
    SCOPED_TRACE(c.name);
    RegexMatcher matcher;
    ASSERT_TRUE(matcher.Create(Gb(c.pattern), Gb(c.subject), std::nullopt, true, c.global));
    EXPECT_EQ(TextToUtf8(matcher.Replace(Gb(c.replacement))), c.result);
  }
}

}  // namespace
}  // namespace velbrook
