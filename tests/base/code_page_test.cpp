#include "base/code_page.h"

#include <gtest/gtest.h>

namespace velbrook {
namespace {

TEST(CodePage, RoundTripsThroughGb18030) {
  const std::string utf8[] = {
      "plain ascii",
      "\xE6\xAD\x8C\xE5\x8D\x95",  // 歌单: GBK double-byte
      "\xF0\x9F\x98\x80",          // an emoji: a GB18030 four-byte character
      "\xE3\x90\x80",              // U+3400, outside GBK
  };
  for (const auto& text : utf8) {
    bool ok = false;
    Text ansi = Utf8ToText(text, &ok);
    ASSERT_TRUE(ok) << text;
    EXPECT_EQ(TextToUtf8(ansi), text);
  }
  EXPECT_EQ(Utf8ToText("\xE6\xAD\x8C"), "\xB8\xE8");
  EXPECT_EQ(Utf8ToText("\xF0\x9F\x98\x80").size(), 4u);
}

TEST(CodePage, AllOrNothing) {
  bool ok = true;
  EXPECT_EQ(Utf8ToText("good \xFF bad", &ok), "");
  EXPECT_FALSE(ok);
  EXPECT_EQ(Utf8ToText("truncated \xE6\xAD", &ok), "");
  EXPECT_FALSE(ok);
  EXPECT_TRUE(ConvertCodePage(Bytes{'a', 0xC3}, "UTF-8", "GB18030").empty());
  EXPECT_TRUE(ConvertCodePage(Bytes{'a'}, "NO-SUCH-ENCODING", "UTF-8").empty());
  EXPECT_EQ(ConvertCodePage(Bytes{'a', 0xC3, 0xA9}, "UTF-8", "ISO-8859-1"), (Bytes{'a', 0xE9}));
  Utf8ToText("", &ok);
  EXPECT_TRUE(ok);
}

TEST(CodePage, AsciiTrailBytesStayInsideTheirCharacter) {
  // GB18030 characters whose later bytes are ASCII letters or digits, between ASCII runs.
  const Text ansi =
      "a\x81\x41z\x81\x30\x81\x30"
      "9\x95\x32\x82\x36!";
  bool ok = false;
  std::string utf8 = TextToUtf8(ansi, &ok);
  ASSERT_TRUE(ok);
  EXPECT_EQ(utf8,
            "a\xE4\xB8\x84z\xC2\x80"
            "9\xF0\xA0\x80\x80!");  // U+4E04, U+0080, U+20000
  EXPECT_EQ(Utf8ToText(utf8), ansi);
  EXPECT_EQ(TextToUtf8("ok\x81", &ok), "");  // a lead byte without its trail
  EXPECT_FALSE(ok);
}

TEST(CodePage, LargeInputConvertsWhole) {
  std::string big;
  for (int i = 0; i < 200000; ++i)
    big +=
        "\xE6\xAD\x8C"
        "a";
  Text ansi = Utf8ToText(big);
  EXPECT_EQ(ansi.size(), 200000u * 3);
  EXPECT_EQ(TextToUtf8(ansi), big);
}

}  // namespace
}  // namespace velbrook
