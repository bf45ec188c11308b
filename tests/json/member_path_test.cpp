#include "json/member_path.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "json/script_session.h"
#include "tests/json/gb.h"

namespace velbrook {
namespace {

MemberStep Name(const char* name) { return {false, name, 0}; }
MemberStep Index(std::uint32_t index) { return {true, "", index}; }

struct PathCase {
  const char* code;
  const char* root;
  std::vector<MemberStep> steps;
};

TEST(MemberPath, RecognisesPlainMemberChains) {
  const PathCase cases[] = {
      {"da", "da", {}},
      {"da.url", "da", {Name("url")}},
      {"da[0].artists[12].name", "da", {Index(0), Name("artists"), Index(12), Name("name")}},
      {"$_.a1._b$", "$_", {Name("a1"), Name("_b$")}},
      {"da[999999999]", "da", {Index(999999999)}},
  };
  for (const PathCase& c : cases) {
    std::optional<MemberPath> path = ParseMemberPath(c.code);
    ASSERT_TRUE(path) << c.code;
    EXPECT_EQ(path->root, c.root) << c.code;
    EXPECT_EQ(path->steps, c.steps) << c.code;
  }
}

TEST(MemberPath, LeavesEveryOtherTextToTheScript) {
  const char* others[] = {
      "",       "da.",    "da..a",          "da[",         "da[]",    "da[01]",  // 01 is octal in script
      "da[-1]", "da[1 ]", "da [1]",         "da. a",       "1da",     "da.1",   "da[0]x", "da.a()", "da['a']",
      "da.a-b", "da.a;",  "da[1234567890]", "da.\xC3\xA9", "da[1e2]", "(da.a)", "da.a=1",
  };
  for (const char* code : others) EXPECT_FALSE(ParseMemberPath(code)) << code;
}

// The direct walk and the script must agree on every read, whatever the chain meets.
TEST(MemberPath, WalkingGivesWhatTheScriptGives) {
  std::unique_ptr<ScriptSession> session = ScriptSession::Open("da");
  ASSERT_TRUE(session);
  ASSERT_TRUE(session->AddCode("var da={}"));
  ASSERT_TRUE(session->ParseJsonIntoDocument(
      json_test::Gb(R"({"url":"u","num":12.5,"numText":" 42 ","word":"w","yes":true,"nothing":null,)"
                    R"("list":[{"k":"v"},7,[]],"deep":{"a":{"b":{"c":"歌"}}},"0":"zero"})")));
  ASSERT_TRUE(
      session->AddCode("Object.defineProperty(da, 'getter', {get: function () { return 'got'; }});"
                       "Object.defineProperty(da, 'thrower', {get: function () { throw new Error('no'); }});"
                       "da.proxy = new Proxy({}, {get: function (t, k) { return 'p:' + String(k); }});"
                       "da.fn = function () {}; Object.prototype.inherited = 'i';"));
  const char* reads[] = {
      "da",
      "da.url",
      "da.num",
      "da.numText",
      "da.word",
      "da.yes",
      "da.nothing",
      "da.nothing.x",
      "da.missing",
      "da.missing.x",
      "da.list",
      "da.list[0].k",
      "da.list[1]",
      "da.list[2]",
      "da.list[3]",
      "da.list[3].k",
      "da.list.length",
      "da.url.length",
      "da.num.toFixed",
      "da.deep.a.b.c",
      "da[0]",
      "da.getter",
      "da.thrower",
      "da.proxy.any",
      "da.proxy[3]",
      "da.fn",
      "da.fn.name",
      "da.inherited",
      "da.list[0].inherited",
      "da.__proto__",
      "da.constructor",
      "da.yes.x",
  };
  for (const char* read : reads) {
    Text viaScript = Text("(") + read + ")";
    EXPECT_EQ(session->EvalText(read), session->EvalText(viaScript)) << read;
    EXPECT_EQ(session->EvalNumber(read), session->EvalNumber(viaScript)) << read;
    EXPECT_EQ(session->EvalTruth(read), session->EvalTruth(viaScript)) << read;
  }
  EXPECT_EQ(session->EvalText("da.deep.a.b.c"), json_test::Gb("歌"));
  EXPECT_EQ(session->EvalText("da.nothing.x"), std::nullopt);
}

TEST(MemberPath, PlainReadsOfTheDocumentCompileNoScript) {
  std::unique_ptr<ScriptSession> session = ScriptSession::Open("da");
  ASSERT_TRUE(session);
  ASSERT_TRUE(session->AddCode("var da={}"));
  // The getter counts the frames below it: a script that reads it adds one.
  ASSERT_TRUE(session->AddCode(
      "Object.defineProperty(da, 'frames', {get: function () { return new Error().stack.split('\\n')"
      ".filter(function (line) { return line.length > 0; }).length; }});"
      "da.list = [da];"));
  EXPECT_EQ(session->EvalText("(da.frames)"), "2");
  EXPECT_EQ(session->EvalText("da.frames"), "1");
  EXPECT_EQ(session->EvalText("da.list[0].frames"), "1");
  // Only the document variable is walked; other globals keep the script path.
  ASSERT_TRUE(session->AddCode("var other = da;"));
  EXPECT_EQ(session->EvalText("other.frames"), "2");
}

}  // namespace
}  // namespace velbrook
