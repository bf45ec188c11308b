#include <gtest/gtest.h>

#include <utility>

#include "json/json_document.h"
#include "json/script_engine.h"

namespace velbrook {
namespace {

TEST(JsonSession, CopiesShareTheDocument) {
  JsonDocument original;
  ASSERT_TRUE(original.Parse(R"({"a":1})"));
  JsonDocument copy = original;
  copy.SetNumber("b", 2);
  EXPECT_EQ(original.GetJson(), R"({"a":1,"b":2})");

  JsonDocument assigned;
  assigned = original;
  original.DeleteMember("a");
  EXPECT_EQ(assigned.GetJson(), R"({"b":2})");
  EXPECT_EQ(copy.GetJson(), R"({"b":2})");
}

TEST(JsonSession, TheSessionLivesWhileAnyHolderDoes) {
  JsonDocument copy;
  {
    JsonDocument original;
    ASSERT_TRUE(original.Parse(R"({"a":[1,2]})"));
    copy = original;
  }
  EXPECT_EQ(copy.GetJson(), R"({"a":[1,2]})");
  EXPECT_EQ(copy.Count("a"), 2);
}

TEST(JsonSession, OpenSessionLeavesCopiesOnTheOldSession) {
  JsonDocument original;
  ASSERT_TRUE(original.Parse("[1]"));
  JsonDocument copy = original;
  original.OpenSession();
  EXPECT_EQ(original.GetJson(), "{}");
  EXPECT_EQ(copy.GetJson(), "[1]");
}

TEST(JsonSession, EachDocumentHasAGlobalScopeOfItsOwn) {
  JsonDocument first;
  JsonDocument second;
  first.SetMemberRaw("a", "1; var shared = 7");
  first.SetMemberRaw("seen", "typeof shared");
  second.SetMemberRaw("seen", "typeof shared");
  EXPECT_EQ(first.GetText("seen"), "number");
  EXPECT_EQ(second.GetText("seen"), "undefined");
  // What one session changes in the built-in objects stays in that session.
  first.SetMemberRaw("b", "2; Array.prototype.extra = 1");
  EXPECT_EQ(second.GetType("extra"), JsonType::kNull);
  second.Reset(JsonType::kArray);
  EXPECT_EQ(second.Count(), 0);
}

TEST(JsonSession, GetDocumentMakesAnIndependentCopy) {
  JsonDocument source;
  ASSERT_TRUE(source.Parse(R"({"o":{"a":1,"l":[1,2]},"s":"x"})"));
  source.SetMemberRaw("o.f", "function () { return 1; }");
  JsonDocument part = source.GetDocument("o");
  EXPECT_EQ(part.GetJson(), R"({"a":1,"l":[1,2]})");  // the function does not survive JSON
  part.SetNumber("a", 9);
  source.SetNumber("o.b", 3);
  EXPECT_EQ(source.GetText("o.a"), "1");
  EXPECT_EQ(part.GetText("b"), "");

  JsonDocument copyOfPart = part;
  copyOfPart.AppendItem("3", "l", true);
  EXPECT_EQ(part.Count("l"), 3);
  EXPECT_EQ(source.Count("o.l"), 2);
}

TEST(JsonSession, GetDocumentOfPathsThatNameNothingOrAnIndex) {
  JsonDocument source;
  ASSERT_TRUE(source.Parse(R"([{"name":"T"},"s"])"));
  EXPECT_EQ(source.GetDocument("[0]").GetText("name"), "T");
  EXPECT_EQ(source.GetDocument("[1]").GetJson(), R"("s")");
  JsonDocument nothing = source.GetDocument("[5]");
  EXPECT_EQ(nothing.Count(), -2);
  EXPECT_EQ(nothing.GetJson(), "null");
  EXPECT_EQ(source.GetDocument("").GetJson(), "null");
}

TEST(JsonSession, AMovedFromDocumentGivesEmptyResultsUntilReopened) {
  JsonDocument original;
  ASSERT_TRUE(original.Parse(R"({"a":"x"})"));
  JsonDocument moved = std::move(original);
  EXPECT_EQ(moved.GetText("a"), "x");

  // The moved-from object is valid but has no session.
  EXPECT_FALSE(original.Parse("[1]"));  // NOLINT(bugprone-use-after-move)
  EXPECT_EQ(original.GetJson(), "");
  EXPECT_EQ(original.Count(), 0);
  EXPECT_EQ(original.GetType(), JsonType::kOther);
  EXPECT_FALSE(original.Exists("a"));
  std::vector<Text> keys = {"old"};
  original.GetKeys(keys);
  EXPECT_TRUE(keys.empty());
  EXPECT_EQ(original.GetDocument("a").GetJson(), "null");

  original.OpenSession();
  EXPECT_EQ(original.GetJson(), "{}");
  EXPECT_EQ(moved.GetText("a"), "x");
}

TEST(JsonSession, ManyShortLivedDocumentsDoNotPileUp) {
  // The start command opens one document per song. Were the sessions kept, their payloads alone
  // would take several times the bound.
  constexpr int kDocuments = 300;
  constexpr std::size_t kPayloadBytes = 64 * 1024;
  constexpr std::size_t kHeapBoundBytes = 12 * 1024 * 1024;
  const std::string payload(kPayloadBytes, 'p');
  for (int i = 0; i < kDocuments; ++i) {
    JsonDocument answer;
    std::string url = "http://h/" + std::to_string(i) + ".mp3";
    ASSERT_TRUE(answer.Parse(R"({"url":")" + url + R"(","pad":")" + payload + R"("})"));
    ASSERT_EQ(answer.GetText("url"), url);
  }
  EXPECT_LT(ScriptHeapBytes(), kHeapBoundBytes);
}

}  // namespace
}  // namespace velbrook
