#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "regex/regex_matcher.h"
#include "tests/regex/gb_text.h"

namespace velbrook {
namespace {

using testing_support::Gb;

struct PositionCase {
  const char* name;
  std::string pattern;
  std::string subject;
  int matchIndex;
  int subIndex;  // 0 reads the whole match with GetMatch
  std::string text;
  int position;
  std::optional<bool> caseSensitive = std::nullopt;
  bool multiline = true;
};

// Positions are byte offsets in the GB18030 subject: ASCII takes one byte, most CJK characters two,
// the rest of Unicode (and everything outside the BMP) four.
const PositionCase kPositionCases[] = {
    {"one double-byte character then a", "a", "中a", 1, 0, "a", 2},
    {"two double-byte characters then a", "a", "中中a", 1, 0, "a", 4},
    {"the second of two adjacent equal matches", "a", "aa", 2, 0, "a", 1},
    {"a case-sensitive match after the other case", "a", "Aa", 1, 0, "a", 1, true},
    {"a case-ignoring match after the same letter", "A", "aA", 2, 0, "A", 1},
    {"a group whose text also starts the match", "a(a)", "aa", 1, 1, "a", 1},
    {"a character outside the BMP", "a", "😀a", 1, 0, "a", 4},
    {"a four-byte character inside the BMP", "a", "\u0080a", 1, 0, "a", 4},
    {"a mix of one, two and four bytes", "y(b)", "x中😀yb", 1, 1, "b", 8},
    {"a CJK match", "文", "ab中文", 1, 0, "文", 4},
    {"digits after CJK", R"((\d+))", "中文12", 1, 1, "12", 4},
    {"an empty match at the end", "$", "a中", 1, 0, "", 3, std::nullopt, false},
    {"an empty group that took part", "a(x*)b", "中ab", 1, 1, "", 3},
    {"a group that took no part", "(x)?a", "a", 1, 1, "", RegexMatcher::kNoPosition},
    {"a match index beyond the last", "a", "a", 2, 0, "", RegexMatcher::kNoPosition},
    {"a group index beyond the last", "(a)", "a", 1, 2, "", RegexMatcher::kNoPosition},
};

TEST(RegexPositions, AreByteOffsetsOfTheSubject) {
  for (const PositionCase& c : kPositionCases) {
    SCOPED_TRACE(c.name);
    RegexMatcher matcher;
    ASSERT_TRUE(matcher.Create(Gb(c.pattern), Gb(c.subject), c.caseSensitive, c.multiline));
    int position = 12345;
    Text text = c.subIndex == 0 ? matcher.GetMatch(c.matchIndex, &position)
                                : matcher.GetSubMatch(c.matchIndex, c.subIndex, &position);
    EXPECT_EQ(text, Gb(c.text));
    EXPECT_EQ(position, c.position);
  }
}

TEST(RegexPositions, ComeRightInAnyOrderOverALongSubject) {
  constexpr int kUnits = 5000;  // about 20 KB of UTF-8: several look-up marks
  std::string subject;
  std::vector<int> expected;  // byte offset of each "a" in the GB18030 subject
  int bytes = 0;
  for (int i = 0; i < kUnits; ++i) {
    bool emoji = i % 7 == 0;
    subject += emoji ? "😀a" : "中a";
    bytes += emoji ? 4 : 2;
    expected.push_back(bytes);
    bytes += 1;
  }
  RegexMatcher matcher;
  ASSERT_TRUE(matcher.Create("a", Gb(subject)));
  ASSERT_EQ(matcher.MatchCount(), kUnits);
  for (int i = kUnits; i >= 1; i -= 3) {
    int position = -1;
    ASSERT_EQ(matcher.GetMatch(i, &position), "a");
    ASSERT_EQ(position, expected[static_cast<std::size_t>(i - 1)]) << "match " << i;
  }
  int position = -1;
  ASSERT_EQ(matcher.GetMatch(2, &position), "a");
  EXPECT_EQ(position, expected[1]);
}

}  // namespace
}  // namespace velbrook
