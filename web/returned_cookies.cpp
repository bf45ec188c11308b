#include "web/returned_cookies.h"

#include "base/text_routines.h"
#include "web/url_parts.h"

namespace velbrook {
namespace {

constexpr char kLineBreak[] = "\r\n";
constexpr char kHeaderName[] = "Set-Cookie";
constexpr char kHeaderPrefix[] = "Set-Cookie:";
constexpr char kJoinSeparator[] = "; ";

Text CookieItem(const Text& line) {
  if (FindText(line, ";") != 0) return TrimSpaces(TextBetween(line, kHeaderPrefix, ";"));
  return TrimSpaces(ReplaceAll(line, kHeaderPrefix, "", true));
}

}  // namespace

Text ExtractReturnedCookies(const Text& rawHeaders) {
  Text cookies;
  for (const Text& line : SplitText(rawHeaders, kLineBreak)) {
    if (FindText(line, kHeaderName) != 0) cookies += CookieItem(line) + kJoinSeparator;
  }
  if (!cookies.empty()) cookies.resize(cookies.size() - 2);
  return cookies;
}

}  // namespace velbrook
