#include <gtest/gtest.h>

#include "regex/regex_matcher.h"
#include "tests/regex/gb_text.h"

namespace velbrook {
namespace {

using testing_support::Gb;

const char kProgramPattern[] = R"(\[{(.*?)}\]</textarea>)";

// Every reading operation gives its empty result.
void ExpectEmptyResults(const RegexMatcher& matcher) {
  EXPECT_EQ(matcher.MatchCount(), 0);
  EXPECT_EQ(matcher.SubMatchCount(), 0);
  int position = 7;
  EXPECT_EQ(matcher.GetMatch(1, &position), "");
  EXPECT_EQ(position, RegexMatcher::kNoPosition);
  EXPECT_EQ(matcher.GetSubMatch(1, 1), "");
  EXPECT_EQ(matcher.Replace("x"), "");
}

TEST(RegexLifecycle, GivesEmptyResultsBeforeCreate) {
  RegexMatcher matcher;
  ExpectEmptyResults(matcher);
  EXPECT_EQ(matcher.GetPattern(), "");
  EXPECT_EQ(matcher.Status(), RegexStatus::kNotCreated);
}

TEST(RegexLifecycle, FailedCreateLeavesNoMatchesButKeepsThePattern) {
  RegexMatcher matcher;
  ASSERT_TRUE(matcher.Create("b", "abc"));
  ASSERT_EQ(matcher.MatchCount(), 1);

  EXPECT_FALSE(matcher.Create("(b", "abc"));
  EXPECT_EQ(matcher.Status(), RegexStatus::kBadPattern);
  EXPECT_EQ(matcher.GetPattern(), "(b");
  ExpectEmptyResults(matcher);
}

TEST(RegexLifecycle, RefusesTextsThatAreNotGb18030) {
  RegexMatcher matcher;
  EXPECT_FALSE(matcher.Create("a", "a\x80"));
  EXPECT_EQ(matcher.Status(), RegexStatus::kBadText);
  ExpectEmptyResults(matcher);
  EXPECT_FALSE(matcher.Create("\xFF", "a"));
  EXPECT_EQ(matcher.Status(), RegexStatus::kBadText);
}

TEST(RegexLifecycle, NoMatchIsStillASuccessfulRun) {
  RegexMatcher matcher;
  EXPECT_TRUE(matcher.Create(kProgramPattern, "<html>no songs here</html>"));
  EXPECT_EQ(matcher.Status(), RegexStatus::kOk);
  EXPECT_EQ(matcher.MatchCount(), 0);
  EXPECT_EQ(matcher.SubMatchCount(), 0);
  EXPECT_EQ(matcher.GetMatch(1), "");
  EXPECT_EQ(matcher.Replace("x"), "<html>no songs here</html>");
}

TEST(RegexLifecycle, CountsMatchesAndGroupsFromOne) {
  RegexMatcher matcher;
  ASSERT_TRUE(matcher.Create(R"((\w)(\d)?)", "a1 b c3"));
  EXPECT_EQ(matcher.MatchCount(), 3);
  EXPECT_EQ(matcher.SubMatchCount(), 2);
  EXPECT_EQ(matcher.GetMatch(1), "a1");
  EXPECT_EQ(matcher.GetMatch(3), "c3");
  EXPECT_EQ(matcher.GetSubMatch(3, 2), "3");
  EXPECT_EQ(matcher.GetSubMatch(2, 2), "");  // the optional group took no part
  const int kOutOfRange[][2] = {{0, 1}, {-1, 1}, {4, 1}, {1, 0}, {1, -1}, {1, 3}};
  for (const auto& index : kOutOfRange) {
    SCOPED_TRACE(testing::Message() << index[0] << "," << index[1]);
    EXPECT_EQ(matcher.GetSubMatch(index[0], index[1]), "");
  }
  EXPECT_EQ(matcher.GetMatch(0), "");
  EXPECT_EQ(matcher.GetMatch(4), "");
}

TEST(RegexLifecycle, ProgramPatternHasOneGroupWhenItMatches) {
  RegexMatcher matcher;
  ASSERT_TRUE(matcher.Create(kProgramPattern, "<textarea>[{\"id\":1}]</textarea>"));
  EXPECT_EQ(matcher.SubMatchCount(), 1);
  EXPECT_EQ(matcher.GetSubMatch(1, 1), "\"id\":1");
  ASSERT_TRUE(matcher.Create(kProgramPattern, "<textarea></textarea>"));
  EXPECT_EQ(matcher.SubMatchCount(), 0);
}

TEST(RegexLifecycle, QuoteMarkerStandsForADoubleQuote) {
  const Text pattern = Gb(R"(#引号(\w+)#引号)");
  const Text subject = Gb(R"(say "hi" or #引号yo#引号)");
  RegexMatcher matcher;
  ASSERT_TRUE(matcher.Create(pattern, subject, std::nullopt, true, true, true));
  EXPECT_EQ(matcher.GetPattern(), R"re("(\w+)")re");
  ASSERT_EQ(matcher.MatchCount(), 1);
  EXPECT_EQ(matcher.GetSubMatch(1, 1), "hi");

  ASSERT_TRUE(matcher.Create(pattern, subject));
  EXPECT_EQ(matcher.GetPattern(), pattern);
  ASSERT_EQ(matcher.MatchCount(), 1);
  EXPECT_EQ(matcher.GetSubMatch(1, 1), "yo");
}

TEST(RegexLifecycle, CopiesShareTheRunUntilOneCreatesAgain) {
  RegexMatcher original;
  ASSERT_TRUE(original.Create("a(.)", "ab ac"));
  RegexMatcher copy = original;
  EXPECT_EQ(copy.MatchCount(), 2);
  EXPECT_EQ(copy.GetSubMatch(2, 1), "c");
  EXPECT_EQ(copy.GetPattern(), "a(.)");

  ASSERT_TRUE(original.Create("x", "xyz"));
  EXPECT_EQ(original.MatchCount(), 1);
  EXPECT_EQ(copy.MatchCount(), 2);
  EXPECT_EQ(copy.GetMatch(1), "ab");
  EXPECT_EQ(copy.Replace("-"), "- -");
}

TEST(RegexLifecycle, ReservedChangesNothing) {
  RegexMatcher matcher;
  ASSERT_TRUE(matcher.Create("b", "abc"));
  matcher.Reserved();
  EXPECT_EQ(matcher.MatchCount(), 1);
  EXPECT_EQ(matcher.GetPattern(), "b");
  EXPECT_EQ(matcher.Status(), RegexStatus::kOk);
}

}  // namespace
}  // namespace velbrook
