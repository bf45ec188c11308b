#include "web/cookie_merge.h"

#include <gtest/gtest.h>

#include "web/returned_cookies.h"

namespace velbrook {
namespace {

struct MergeCase {
  const char* oldCookies;
  const char* newCookies;
  const char* merged;
  const char* newAfter;
};

TEST(MergeCookiesTest, Cases) {
  const MergeCase cases[] = {
      {"a=0; c=3", "a=1; b=2", "a=1; b=2; c=3", "a=1;b=2"},
      {"a=0; c=3; c=4", "a=deleted; b=2", "b=2; c=3", "a=deleted;b=2"},
      {"a=1; b=2", "b=3; a=deleted", "b=3", "b=3;a=deleted"},
      {"x=deleted", "", "", ""},
      {"x=1", "", "x=1", ""},
      {"", "", "", ""},
      {"SID=1", "sid=2", "sid=2; SID=1", "sid=2"},
      {"a=hello world", "", "a=helloworld", ""},
      {"a=\xA1\xA1x\xA1\xA1", " b = 2 ", "b=2; a=x", "b=2"},  // the ideographic space goes too
      {"sid=1; k=v", "k=v; k=v", "k=v; sid=1", "k=v;k=v"},
      {"", "a=1;;b=2", "a=1; ; b=2", "a=1;;b=2"},
      {"a", "a=1", "a=1", "a=1"},
      {"a=1;", "", "a=1", ""},
      {"", "a=1;;", "a=1", "a=1;;"},             // a trailing empty item leaves no separator behind
      {"\xB0=deleted", "", "\xB0=deleted", ""},  // "=" is the trail byte of B0 3D here
  };
  for (const MergeCase& c : cases) {
    Text oldCookies = c.oldCookies;
    Text newCookies = c.newCookies;
    Text result = MergeCookies(oldCookies, newCookies);
    EXPECT_EQ(oldCookies, c.merged) << "old " << c.oldCookies << " new " << c.newCookies;
    EXPECT_EQ(result, c.merged) << "old " << c.oldCookies << " new " << c.newCookies;
    EXPECT_EQ(newCookies, c.newAfter) << "old " << c.oldCookies << " new " << c.newCookies;
  }
}

TEST(ExtractReturnedCookiesTest, OneItemPerSetCookieLine) {
  const std::pair<const char*, const char*> cases[] = {
      {"HTTP/1.1 200 OK\r\nSet-Cookie: a=1; path=/\r\nSet-Cookie: b=2\r\n\r\n", "a=1; b=2"},
      {"HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n", ""},
      {"", ""},
      {"     ", ""},  // what a failed header query leaves
      {"Set-Cookie:a=1;x\r\nSet-Cookie:  c = 3 ", "a=1; c = 3"},
      // Lines that hold "Set-Cookie" without its colon still count, even when their item is empty.
      {"X-Set-Cookie-Note: x; y\r\nSet-Cookie: b=2", "; b=2"},
      {"Set-Cookie: Set-Cookie: twice", "twice"},
      {"set-cookie: lower=1; path=/", ""},  // names arrive in the one spelling; others are no cookies
  };
  for (const auto& [headers, cookies] : cases) EXPECT_EQ(ExtractReturnedCookies(headers), cookies) << headers;
}

}  // namespace
}  // namespace velbrook
