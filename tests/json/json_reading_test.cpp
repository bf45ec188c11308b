#include <gtest/gtest.h>

#include <vector>

#include "json/json_document.h"

namespace velbrook {
namespace {

// One object with a member of every kind the reads tell apart.
constexpr const char* kFixture =
    R"({"url":"http://h/a.mp3","zero":0,"digits":"12","word":"abc","nothing":null,"yes":true,)"
    R"("list":[1,2,3],"pair":{"a":1,"b":2},"half":0.5,"huge":1e21,"id":1800000000123,)"
    R"("withMap":{"map":1},"songs":[{"name":"T","id":123,"artists":[{"name":"A"},{"name":"B"}]}]})";

JsonDocument Fixture() {
  JsonDocument document;
  EXPECT_TRUE(document.Parse(kFixture));
  return document;
}

struct ParseCase {
  const char* text;
  bool result;
  const char* json;  // GetJson afterwards
};

TEST(JsonParse, AcceptsJsonTextsOnly) {
  const ParseCase cases[] = {
      {"[]", true, "[]"},
      {" [1, 2] ", true, "[1,2]"},
      {R"({"a":[true,false,null]})", true, R"({"a":[true,false,null]})"},
      {"0", true, "0"},  // only null counts as failure, not a falsy value
      {"false", true, "false"},
      {"-1.5e3", true, "-1500"},
      {R"("1+2")", true, R"("1+2")"},  // a string stays a string; its content is never run
      {"null", false, "null"},
      {"", false, "null"},
      {"{", false, "null"},
      {"[1,]", false, "null"},
      {"{'a':1}", false, "null"},
      {"({a:1})", false, "null"},
      {"1 2", false, "null"},
      {"da={}", false, "null"},
  };
  for (const ParseCase& c : cases) {
    JsonDocument document;
    document.SetNumber("before", 1);
    EXPECT_EQ(document.Parse(c.text), c.result) << c.text;
    EXPECT_EQ(document.GetJson(), c.json) << c.text;
  }
}

TEST(JsonParse, FailureDropsThePreviousDocument) {
  JsonDocument document = Fixture();
  EXPECT_FALSE(document.Parse("[1,"));
  EXPECT_EQ(document.GetJson(), "null");
  EXPECT_EQ(document.Count(), -2);
  EXPECT_EQ(document.GetType(), JsonType::kNull);
}

TEST(JsonParse, FreshDocumentIsAnEmptyObject) {
  JsonDocument document;
  EXPECT_EQ(document.GetJson(), "{}");
  EXPECT_EQ(document.Count(), 0);
  EXPECT_EQ(document.GetType(), JsonType::kObject);
}

struct TextCase {
  const char* path;
  bool asJson;
  const char* text;
};

TEST(JsonRead, GetText) {
  const TextCase cases[] = {
      {"url", false, "http://h/a.mp3"},
      {"zero", false, "0"},
      {"half", false, "0.5"},
      {"huge", false, "1e+21"},
      {"id", false, "1800000000123"},
      {"list[1]", false, "2"},
      {"songs[0].artists[1].name", false, "B"},
      {"yes", false, "true"},
      {"list", false, "1,2,3"},
      {"pair", false, "[object Object]"},
      {"digits.length", false, "2"},
      {"nothing", false, ""},         // null has no text
      {"missing", false, ""},         // undefined reads as the empty text
      {"missing.deeper", false, ""},  // the evaluation fails
      {"", false, ""},                // "da." is no expression
      {"list[", false, ""},           // a syntax error
      {"pair", true, R"({"a":1,"b":2})"},
      {"digits", true, R"("12")"},
      {"nothing", true, "null"},
      {"missing", true, ""},
  };
  JsonDocument document = Fixture();
  for (const TextCase& c : cases) {
    EXPECT_EQ(document.GetText(c.path, c.asJson), c.text) << c.path << (c.asJson ? " as JSON" : "");
  }
}

TEST(JsonRead, GetTextOfAnArrayDocumentJoinsIndexPathsDirectly) {
  JsonDocument document;
  ASSERT_TRUE(document.Parse(R"([{"name":"T","id":123,"artists":[{"name":"A"},{"name":"B"}]}])"));
  EXPECT_EQ(document.Count(), 1);
  EXPECT_EQ(document.GetText("[0].name"), "T");
  EXPECT_EQ(document.GetText("[0].id"), "123");
  EXPECT_EQ(document.GetText("[0].artists[0].name"), "A");
  EXPECT_EQ(document.GetText("[0]", true), R"({"name":"T","id":123,"artists":[{"name":"A"},{"name":"B"}]})");
  EXPECT_EQ(document.GetText("[1].name"), "");
  EXPECT_EQ(document.GetText("length"), "1");
}

TEST(JsonRead, ReadsOfAnEmptyObjectInAnArray) {
  // What a page without a song array turns into: one empty object.
  JsonDocument document;
  ASSERT_TRUE(document.Parse("[{}]"));
  EXPECT_EQ(document.Count(), 1);
  EXPECT_EQ(document.GetText("[0].artists[0].name"), "");
  EXPECT_EQ(document.GetText("[0].name"), "");
  EXPECT_EQ(document.GetText("[0].id"), "");
}

struct CountCase {
  const char* path;
  int count;
};

TEST(JsonRead, Count) {
  const CountCase cases[] = {
      {"list", 3},     {"pair", 2},     {"songs[0].artists", 2},
      {"missing", -2}, {"nothing", -2}, {"missing.deeper", 0},  // the evaluation fails
      {"[0]", 0},                                               // such a path gets no "[" joint
  };
  JsonDocument document = Fixture();
  EXPECT_EQ(document.Count(), 13);
  for (const CountCase& c : cases) EXPECT_EQ(document.Count(c.path), c.count) << c.path;
}

struct TypeCase {
  const char* path;
  JsonType type;
};

TEST(JsonRead, GetType) {
  const TypeCase cases[] = {
      {"", JsonType::kObject},
      {"list", JsonType::kArray},
      {"songs[0].artists", JsonType::kArray},
      {"pair", JsonType::kObject},
      {"withMap", JsonType::kObject},  // a member named map does not make an array
      {"zero", JsonType::kNumber},
      {"digits", JsonType::kString},
      {"nothing", JsonType::kNull},
      {"missing", JsonType::kNull},
      {"missing.deeper", JsonType::kOther},
      {"yes", JsonType::kOther},
      {"list.map", JsonType::kOther},  // a function
      {"[0]", JsonType::kOther},
  };
  JsonDocument document = Fixture();
  for (const TypeCase& c : cases) EXPECT_EQ(document.GetType(c.path), c.type) << c.path;
}

struct KeysCase {
  const char* json;
  const char* path;
  std::vector<Text> keys;
};

TEST(JsonRead, GetKeysEndsWithTheTwoSupportFunctions) {
  const KeysCase cases[] = {
      {R"({"a":1,"b":2})", "", {"a", "b", "toJSONString", "parseJSON"}},
      {R"(["x","y"])", "", {"0", "1", "toJSONString", "parseJSON"}},
      {R"({"o":{"k":[]}})", "o", {"k", "toJSONString", "parseJSON"}},
      {R"({"a,b":1})", "", {"a", "b", "toJSONString", "parseJSON"}},  // a comma splits a key
      {R"({"":1})", "", {"", "toJSONString", "parseJSON"}},
      {R"({"a":null})", "a", {}},
      {R"({"a":1})", "missing.deeper", {}},
  };
  for (const KeysCase& c : cases) {
    JsonDocument document;
    ASSERT_TRUE(document.Parse(c.json));
    std::vector<Text> keys = {"left over"};
    document.GetKeys(keys, c.path);
    EXPECT_EQ(keys, c.keys) << c.json << " at " << c.path;
  }
}

TEST(JsonRead, ExistsAndGetNumber) {
  JsonDocument document = Fixture();
  EXPECT_TRUE(document.Exists("url"));
  EXPECT_TRUE(document.Exists("zero"));
  EXPECT_FALSE(document.Exists("nothing"));
  EXPECT_FALSE(document.Exists("missing"));
  EXPECT_FALSE(document.Exists("missing.deeper"));

  EXPECT_EQ(document.GetNumber("zero"), 0);
  EXPECT_EQ(document.GetNumber("half"), 0.5);
  EXPECT_EQ(document.GetNumber("digits"), 12);  // a string that reads as a number
  EXPECT_EQ(document.GetNumber("word"), 0);
  EXPECT_EQ(document.GetNumber("list[2]"), 3);
  EXPECT_EQ(document.GetNumber("id"), 1800000000123.0);
  EXPECT_EQ(document.GetNumber("nothing"), 0);
  EXPECT_EQ(document.GetNumber("missing.deeper"), 0);

  EXPECT_EQ(document.GetMemberJson("list"), "[1,2,3]");
  EXPECT_EQ(document.GetMemberJson("missing"), "");
}

}  // namespace
}  // namespace velbrook
