#include <gtest/gtest.h>

#include <vector>

#include "json/json_document.h"
#include "tests/json/gb.h"

namespace velbrook {
namespace {

using json_test::Gb;

struct RoundTripCase {
  const char* what;
  std::string json;   // UTF-8, converted to GB18030 before parsing
  std::string value;  // UTF-8 of the text GetText should give
};

TEST(JsonText, CharactersCrossAsGb18030BothWays) {
  const RoundTripCase cases[] = {
      {"CJK", R"(["中文歌曲 周杰伦"])", "中文歌曲 周杰伦"},
      {"CJK escaped", R"(["\u4e2d\u6587"])", "中文"},
      {"four-byte GB18030 in the BMP", R"(["ᠮᠣᠩᠭᠣᠯ €"])", "ᠮᠣᠩᠭᠣᠯ €"},
      {"outside the BMP", R"(["𠀀𪚥"])", "𠀀𪚥"},
      {"emoji", R"(["夜曲 😀🎵"])", "夜曲 😀🎵"},
      {"emoji escaped", R"(["\ud83d\ude00\uD83C\uDFB5"])", "😀🎵"},
      {"lone high surrogate", R"(["a\ud800b"])",
       "a\xEF\xBF\xBD"
       "b"},
      {"lone low surrogate at the end", R"(["a\udc00"])", "a\xEF\xBF\xBD"},
      {"reversed pair", R"(["\ude00\ud83d"])", "\xEF\xBF\xBD\xEF\xBF\xBD"},
      {"controls", R"(["tab\tline\nquote\"back\\"])", "tab\tline\nquote\"back\\"},
  };
  for (const RoundTripCase& c : cases) {
    JsonDocument document;
    ASSERT_TRUE(document.Parse(Gb(c.json))) << c.what;
    EXPECT_EQ(document.GetText("[0]"), Gb(c.value)) << c.what;
    // The document's own JSON text parses back to the same value.
    JsonDocument again;
    ASSERT_TRUE(again.Parse(document.GetJson())) << c.what;
    EXPECT_EQ(again.GetText("[0]"), Gb(c.value)) << c.what;
  }
}

TEST(JsonText, ZeroCharactersStayInsideATextRead) {
  JsonDocument document;
  ASSERT_TRUE(document.Parse(R"(["a\u0000b"])"));
  EXPECT_EQ(document.GetText("[0]"), std::string("a\0b", 3));
}

TEST(JsonText, KeysPathsAndValuesInCjk) {
  JsonDocument document;
  ASSERT_TRUE(document.Parse(Gb(R"({"歌名":"晴天","列表":[{"名":"甲"}]})")));
  EXPECT_EQ(document.GetText(Gb("歌名")), Gb("晴天"));
  EXPECT_EQ(document.GetText(Gb("列表[0].名")), Gb("甲"));
  std::vector<Text> keys;
  document.GetKeys(keys);
  EXPECT_EQ(keys, (std::vector<Text>{Gb("歌名"), Gb("列表"), "toJSONString", "parseJSON"}));

  document.SetMember("artist", Gb("周杰伦 😀"));
  EXPECT_EQ(document.GetText("artist"), Gb("周杰伦 😀"));
  EXPECT_EQ(document.GetMemberJson("artist"), Gb(R"("周杰伦 😀")"));
}

TEST(JsonText, TextThatIsNotGb18030IsAFailure) {
  JsonDocument document;
  EXPECT_FALSE(document.Parse("[\"\x81\"]"));  // a lead byte with nothing after it
  EXPECT_EQ(document.GetJson(), "null");
  EXPECT_EQ(document.GetText("x\x81"), "");
}

}  // namespace
}  // namespace velbrook
