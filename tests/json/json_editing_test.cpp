#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "json/json_document.h"

namespace velbrook {
namespace {

struct EditCase {
  const char* name;
  const char* before;  // parsed first; nullptr keeps the fresh document (an empty object)
  std::function<void(JsonDocument&)> edit;
  const char* after;  // GetJson afterwards
};

TEST(JsonEdit, EachOperationChangesTheDocumentAsItsScriptDoes) {
  const EditCase cases[] = {
      {"Clear", R"({"a":1})", [](JsonDocument& d) { d.Clear(); }, "{}"},
      {"Reset null", R"({"a":1})", [](JsonDocument& d) { d.Reset(JsonType::kNull); }, "null"},
      {"Reset object", "[1]", [](JsonDocument& d) { d.Reset(JsonType::kObject); }, "{}"},
      {"Reset array", R"({"a":1})", [](JsonDocument& d) { d.Reset(JsonType::kArray); }, "[]"},
      {"Reset number", R"({"a":1})", [](JsonDocument& d) { d.Reset(JsonType::kNumber); }, R"({"a":1})"},
      {"Reset string", R"({"a":1})", [](JsonDocument& d) { d.Reset(JsonType::kString); }, R"({"a":1})"},
      {"Reset other", R"({"a":1})", [](JsonDocument& d) { d.Reset(JsonType::kOther); }, R"({"a":1})"},
      {"SetMember quoted", nullptr, [](JsonDocument& d) { d.SetMember("m", "1+2"); }, R"({"m":"1+2"})"},
      {"SetMember expression", nullptr, [](JsonDocument& d) { d.SetMember("m", "1+2", true); }, R"({"m":3})"},
      {"SetMember empty expression", nullptr, [](JsonDocument& d) { d.SetMember("m", "", true); },
       R"({"m":{}})"},
      {"SetMember array expression", nullptr, [](JsonDocument& d) { d.SetMember("m", R"([1,"x"])", true); },
       R"({"m":[1,"x"]})"},
      {"SetMember lone quote", R"({"a":1})", [](JsonDocument& d) { d.SetMember("m", "'"); }, R"({"a":1})"},
      {"SetMember escape", nullptr, [](JsonDocument& d) { d.SetMember("m", R"(a\nb)"); }, R"({"m":"a\nb"})"},
      {"SetMember nested key", R"({"o":{}})", [](JsonDocument& d) { d.SetMember("o.k", "v"); },
       R"({"o":{"k":"v"}})"},
      {"SetMember through missing", R"({"a":1})", [](JsonDocument& d) { d.SetMember("x.k", "v"); },
       R"({"a":1})"},
      {"SetMemberRaw", nullptr, [](JsonDocument& d) { d.SetMemberRaw("m", "[1+1,{}]"); }, R"({"m":[2,{}]})"},
      {"SetNumber 13 digits", nullptr, [](JsonDocument& d) { d.SetNumber("m", 1.23456789012345); },
       R"({"m":1.234567890123})"},
      {"SetNumber large", nullptr, [](JsonDocument& d) { d.SetNumber("m", 123456789012345678.0); },
       R"({"m":123456789012300000})"},
      {"SetNumber small", nullptr, [](JsonDocument& d) { d.SetNumber("m", -0.000012); },
       R"({"m":-0.000012})"},
      {"SetNumber not a number", R"({"a":1})", [](JsonDocument& d) { d.SetNumber("m", std::nan("")); },
       R"({"a":1})"},
      {"DeleteMember", R"({"a":1,"b":2})", [](JsonDocument& d) { d.DeleteMember("a"); }, R"({"b":2})"},
      {"DeleteMember missing", R"({"a":1})", [](JsonDocument& d) { d.DeleteMember("zz"); }, R"({"a":1})"},
      {"AppendItem to fresh", nullptr, [](JsonDocument& d) { d.AppendItem("v"); }, R"(["v"])"},
      {"AppendItem to array", "[1]", [](JsonDocument& d) { d.AppendItem("v"); }, R"([1,"v"])"},
      {"AppendItem raw", "[1]", [](JsonDocument& d) { d.AppendItem("{}", "", true); }, "[1,{}]"},
      {"AppendItem at path", R"({"l":[1]})", [](JsonDocument& d) { d.AppendItem("2", "l", true); },
       R"({"l":[1,2]})"},
      {"AppendItem replaces non-array", R"({"l":{"a":1}})", [](JsonDocument& d) { d.AppendItem("v", "l"); },
       R"({"l":["v"]})"},
      {"AppendItem at missing path", R"({"a":1})", [](JsonDocument& d) { d.AppendItem("v", "zz"); },
       R"({"a":1})"},
      {"SetItem in array", "[1,2]", [](JsonDocument& d) { d.SetItem(1, "5", true); }, "[1,5]"},
      {"SetItem quoted", "[1,2]", [](JsonDocument& d) { d.SetItem(0, "5"); }, R"(["5",2])"},
      {"SetItem on object", "{}", [](JsonDocument& d) { d.SetItem(3, "x"); }, R"({"3":"x"})"},
      {"RemoveItem", "[1,2,3]", [](JsonDocument& d) { d.RemoveItem(1); }, "[1,3]"},
      {"RemoveItem past end", "[1,2]", [](JsonDocument& d) { d.RemoveItem(5); }, "[1,2]"},
      {"RemoveItem on object", R"({"a":1})", [](JsonDocument& d) { d.RemoveItem(0); }, R"({"a":1})"},
      {"SetValue raw", R"({"a":1})", [](JsonDocument& d) { d.SetValue("42", true); }, "42"},
      {"SetValue quoted", R"({"a":1})", [](JsonDocument& d) { d.SetValue("42"); }, R"("42")"},
      {"failed script keeps earlier effects", R"({"a":1})",
       [](JsonDocument& d) { d.SetMemberRaw("b", "2; da.c = 3; missing.x"); }, R"({"a":1,"b":2,"c":3})"},
      {"thrown value", R"({"a":1})", [](JsonDocument& d) { d.SetMemberRaw("b", "(function(){throw 5})()"); },
       R"({"a":1})"},
  };
  for (const EditCase& c : cases) {
    JsonDocument document;
    if (c.before != nullptr) {
      ASSERT_TRUE(document.Parse(c.before)) << c.name;
    }
    c.edit(document);
    EXPECT_EQ(document.GetJson(), c.after) << c.name;
  }
}

TEST(JsonEdit, ResetArrayThenCountAndTypes) {
  JsonDocument document;
  document.Reset(JsonType::kArray);
  EXPECT_EQ(document.Count(), 0);
  EXPECT_EQ(document.GetType(), JsonType::kArray);
  document.Reset(JsonType::kObject);
  EXPECT_EQ(document.GetType(), JsonType::kObject);
  document.SetValue("7", true);
  EXPECT_EQ(document.GetType(), JsonType::kNumber);
  document.SetValue("7");
  EXPECT_EQ(document.GetType(), JsonType::kString);
}

TEST(JsonEdit, QuotedBackslashNStoresALineFeed) {
  JsonDocument document;
  document.SetMember("m", R"(a\nb)");
  EXPECT_EQ(document.GetText("m"), "a\nb");
}

TEST(JsonEdit, GetItem) {
  JsonDocument document;
  ASSERT_TRUE(document.Parse(R"({"l":[10,{"k":"v"}],"s":"str"})"));
  EXPECT_EQ(document.GetItem(0, "l"), "10");
  EXPECT_EQ(document.GetItem(1, "l", true), R"({"k":"v"})");
  EXPECT_EQ(document.GetItem(2, "l"), "");
  EXPECT_EQ(document.GetItem(-1, "l"), "");
  EXPECT_EQ(document.GetItem(1, "s"), "t");
  EXPECT_EQ(document.GetItem(0, "missing"), "");
  ASSERT_TRUE(document.Parse(R"(["a","b"])"));
  EXPECT_EQ(document.GetItem(1), "b");
  EXPECT_EQ(document.GetItem(1, "", true), R"("b")");
}

}  // namespace
}  // namespace velbrook
