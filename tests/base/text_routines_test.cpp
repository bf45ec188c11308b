#include "base/text_routines.h"

#include <gtest/gtest.h>

#include <limits>

namespace velbrook {
namespace {

// "\xB0\xA1" is a GBK ideograph whose second byte is not ASCII; "\x81\x41" is one whose second
// byte is the letter 'A', which a byte-wise search would wrongly find.
const Text kIdeographA = "\x81\x41";

struct FindCase {
  const char* name;
  Text text;
  Text needle;
  int start;
  bool ignoreCase;
  int expected;
};

TEST(FindText, Table) {
  const FindCase cases[] = {
      {"plain", "abcabc", "bc", 1, false, 2},
      {"from start", "abcabc", "bc", 3, false, 5},
      {"start below one", "abc", "a", -4, false, 1},
      {"start past end", "abc", "a", 9, false, 0},
      {"missing", "abc", "x", 1, false, 0},
      {"case sensitive", "aBc", "bc", 1, false, 0},
      {"ignore case", "aBc", "bC", 1, true, 2},
      {"never inside a double-byte unit", kIdeographA + "A", "A", 1, false, 3},
      {"double-byte needle", "x" + kIdeographA, kIdeographA, 1, false, 2},
      {"ignore case keeps trail bytes exact", kIdeographA, "\x81\x61", 1, true, 0},
      {"empty needle in text", "abc", "", 1, false, 1},
      {"empty needle in empty text", "", "", 1, false, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FindText(c.text, c.needle, c.start, c.ignoreCase), c.expected) << c.name;
  }
}

TEST(FindTextBackward, Table) {
  struct Case {
    const char* name;
    Text text;
    Text needle;
    std::optional<int> start;
    int expected;
  };
  const Case cases[] = {
      {"whole text", "a.b.c", ".", std::nullopt, 4},
      {"within first S-1 bytes", "a.b.c", ".", 4, 2},
      {"occurrence must lie wholly inside", "ab.c", "b.", 3, 0},
      {"start one finds nothing", "a.b", ".", 1, 0},
      {"not on a trail byte", kIdeographA + "x", "A", std::nullopt, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FindTextBackward(c.text, c.needle, c.start), c.expected) << c.name;
  }
}

TEST(TextRoutines, CaseAndSpaces) {
  EXPECT_EQ(LowerAscii("HTTP://X.Example/" + kIdeographA), "http://x.example/" + kIdeographA);
  EXPECT_EQ(TrimSpaces("  \xA1\xA1"
                       "a b\t \xA1\xA1 "),
            "a b\t");
  EXPECT_EQ(TrimSpaces("\r\n x \n"), "\r\n x \n");
  EXPECT_EQ(TrimSpaces("   "), "");
  // "\xA1\xA1" here is the trail of one character and the lead of the next, not a space.
  EXPECT_EQ(TrimSpaces("\xB0\xA1\xA1\xB0"), "\xB0\xA1\xA1\xB0");
  EXPECT_EQ(RemoveSpaces(" a = 1 ;\xA1\xA1"
                         "b"),
            "a=1;b");
}

TEST(TextRoutines, ReplaceAll) {
  EXPECT_EQ(ReplaceAll("aaa", "aa", "b"), "ba");
  EXPECT_EQ(ReplaceAll("set-cookie: x\r\nSET-COOKIE: y", "set-cookie", "Set-Cookie", true),
            "Set-Cookie: x\r\nSet-Cookie: y");
  EXPECT_EQ(ReplaceAll("a#b#", "#", ""), "ab");
  EXPECT_EQ(ReplaceAll(kIdeographA + "A", "A", "z"), kIdeographA + "z");
}

TEST(TextRoutines, Split) {
  using Pieces = std::vector<Text>;
  EXPECT_EQ(SplitText("a;b", ";"), (Pieces{"a", "b"}));
  EXPECT_EQ(SplitText("a;;b", ";"), (Pieces{"a", "", "b"}));
  EXPECT_EQ(SplitText("a;b;", ";"), (Pieces{"a", "b"}));
  EXPECT_EQ(SplitText(";a", ";"), (Pieces{"", "a"}));
  EXPECT_EQ(SplitText("", ";"), Pieces{});
  EXPECT_EQ(SplitText("x\r\ny\r\n\r\n", "\r\n"), (Pieces{"x", "y", ""}));
}

TEST(TextRoutines, LeftAndRightChars) {
  EXPECT_EQ(LeftChars("https://x", 8), "https://");
  EXPECT_EQ(LeftChars("ab", 0), "");
  EXPECT_EQ(LeftChars("ab", 5), "ab");
  EXPECT_EQ(LeftChars(kIdeographA + "b", 1), kIdeographA);
  EXPECT_EQ(RightChars("x=deleted", 8), "=deleted");
  EXPECT_EQ(RightChars("a" + kIdeographA, 1), kIdeographA);
  EXPECT_EQ(RightChars("ab", -1), "");
}

TEST(TextRoutines, ReadInt64) {
  constexpr auto kMax = std::numeric_limits<std::int64_t>::max();
  constexpr auto kMin = std::numeric_limits<std::int64_t>::min();
  const std::pair<Text, std::int64_t> cases[] = {
      {"0042", 42},
      {"  -17x", -17},
      {"+5", 5},
      {"abc", 0},
      {"", 0},
      {"-", 0},
      {"2147483648", 2147483648LL},
      {"9223372036854775807", kMax},
      {"9223372036854775808", kMax},
      {"-9223372036854775808", kMin},
      {"-9223372036854775809", kMin},
      {"99999999999999999999999", kMax},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(ReadInt64(text), expected) << text;
}

}  // namespace
}  // namespace velbrook
