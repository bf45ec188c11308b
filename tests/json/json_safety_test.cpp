#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "json/json_document.h"
#include "json/script_engine.h"

namespace velbrook {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr milliseconds kShortLimit{300};
// Well above the short limit, well below the default one: a read that ran into the default limit
// instead of the short one shows up.
constexpr milliseconds kStoppedWithin{3000};

milliseconds Since(Clock::time_point start) {
  return std::chrono::duration_cast<milliseconds>(Clock::now() - start);
}

// Sets a short time limit for one test and puts the default back afterwards.
class ShortTimeLimit : public ::testing::Test {
 protected:
  void SetUp() override { SetScriptTimeLimit(kShortLimit); }
  void TearDown() override { SetScriptTimeLimit(kDefaultScriptTimeLimit); }
};

TEST(JsonSafety, ParseRunsNoScript) {
  JsonDocument document;
  Clock::time_point start = Clock::now();
  EXPECT_FALSE(document.Parse("[1]+(function(){while(1){}})()"));
  EXPECT_FALSE(document.Parse(R"({"a":1,"b":(function(){ da.hacked = 1; return 2; })()})"));
  EXPECT_LT(Since(start), milliseconds(500));
  EXPECT_EQ(document.GetJson(), "null");
}

TEST_F(ShortTimeLimit, ANeverEndingReadStopsAtTheLimitAndTheSessionCarriesOn) {
  JsonDocument document;
  ASSERT_TRUE(document.Parse(R"({"url":"u"})"));
  Clock::time_point start = Clock::now();
  EXPECT_EQ(document.GetText("url+(function(){while(1){}})()"), "");
  milliseconds took = Since(start);
  EXPECT_GE(took, kShortLimit - milliseconds(50));
  EXPECT_LT(took, kStoppedWithin);

  // The operations after a stopped one run normally, the next script loop included.
  EXPECT_EQ(document.GetText("url"), "u");
  document.SetMemberRaw("sum", "(function(){var s=0; for (var i=0;i<100000;i++) s+=i; return s;})()");
  EXPECT_EQ(document.GetText("sum"), "4999950000");
}

TEST_F(ShortTimeLimit, EditsAndCountsAreStoppedToo) {
  JsonDocument document;
  Clock::time_point start = Clock::now();
  document.SetMemberRaw("a", "1; for(;;){}");
  EXPECT_EQ(document.Count("x; while(true){}"), 0);
  std::vector<Text> keys = {"old"};
  document.GetKeys(keys, "a; for(;;){}");
  EXPECT_TRUE(keys.empty());
  EXPECT_LT(Since(start), 3 * kStoppedWithin);
  EXPECT_EQ(document.GetJson(), R"({"a":1})");
}

TEST_F(ShortTimeLimit, ASlowReadWithinTheLimitIsNotStopped) {
  JsonDocument document;
  // Busy for about half the limit, then done.
  EXPECT_EQ(document.GetText("x||(function(){var t=Date.now(); while(Date.now()-t<150){} return 'done';})()"),
            "done");
}

TEST(JsonSafety, DeepNestingIsAFailureNotACrash) {
  constexpr int kDepth = 200000;
  JsonDocument document;
  std::string nested = std::string(kDepth, '[') + std::string(kDepth, ']');
  ASSERT_TRUE(document.Parse(nested));  // the engine's JSON parser needs no recursion
  EXPECT_EQ(document.Count(), 1);
  EXPECT_EQ(document.GetJson(), "");  // turning it back into text runs out of stack
  document.SetMemberRaw("r", "(function f(){ return f(); })()");
  EXPECT_TRUE(document.Parse("[1]"));
  EXPECT_EQ(document.Count(), 1);
}

TEST(JsonSafety, ExceptionsOfEveryKindAreCleared) {
  JsonDocument document;
  const char* throwing[] = {
      "(function(){throw new Error('x')})()",
      "(function(){throw null})()",
      "(function(){throw {toString: function(){ throw 1; }}})()",
      "'x'.repeat(-1)",
      "Symbol()",  // a read as text that cannot convert
      "({toString: function(){ throw 2; }})",
  };
  for (const char* code : throwing) {
    EXPECT_EQ(document.GetText(Text("a||") + code), "") << code;
    EXPECT_EQ(document.GetNumber(Text("a||") + code), 0) << code;
  }
  EXPECT_TRUE(document.Parse("[2]"));
  EXPECT_EQ(document.GetText("[0]"), "2");
}

}  // namespace
}  // namespace velbrook
