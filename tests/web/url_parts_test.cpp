#include "web/url_parts.h"

#include <gtest/gtest.h>

#include <climits>
#include <optional>

namespace velbrook {
namespace {

struct HostCase {
  const char* url;
  bool rootDomainOnly;
  bool keepPort;
  std::optional<int> levels;
  const char* host;
};

TEST(UrlHostTest, HostAndLabelModes) {
  const Text url = "http://a.b.example:8080/x/y";
  const HostCase cases[] = {
      {"", false, false, std::nullopt, "a.b.example"},
      {"", false, true, std::nullopt, "a.b.example:8080"},
      {"", true, false, std::nullopt, "b.example"},
      {"", true, true, std::nullopt, "b.example:8080"},
      {"", false, false, 0, "b.example"},
      {"", false, true, 0, "b.example:8080"},
      {"", true, false, 0, "example"},
      {"", false, false, 1, "a.b.example"},
      {"", true, false, 1, "b.example"},
      {"", false, false, 2, "a.b.example"},
      // A negative count acts as 0, and a huge one keeps the whole host without looping on.
      {"", false, false, -3, "b.example"},
      {"", true, false, INT_MAX, "a.b.example"},
      {"https://WWW.Shop.Example.com/x?q=a.b", false, false, 0, "example.com"},
      {"https://www.shop.example.com", true, false, 1, "example.com"},
      {"http://localhost/", false, false, 0, "localhost"},
      {"http://localhost:81/", true, false, std::nullopt, "localhost"},
  };
  for (const HostCase& c : cases) {
    const Text input = *c.url ? Text(c.url) : url;
    EXPECT_EQ(UrlHost(input, c.rootDomainOnly, c.keepPort, c.levels), c.host)
        << input << " root=" << c.rootDomainOnly << " port=" << c.keepPort
        << " levels=" << (c.levels ? std::to_string(*c.levels) : "omitted");
  }
}

struct UrlCase {
  const char* url;
  const char* host;
  int port;
  const char* path;
};

TEST(UrlPartsTest, HostPortAndPath) {
  const UrlCase cases[] = {
      {"http://a.b.example:8080/x/y", "a.b.example", 8080, "/x/y"},
      {"http://example.com", "example.com", 80, "/"},
      {"http://example.com:8080/a?b=1", "example.com", 8080, "/a?b=1"},
      {"http://example.com/a?b=1#top", "example.com", 80, "/a?b=1#top"},
      {"HTTPS://X.EXAMPLE/A", "x.example", 443, "/A"},
      {"https://Example.com/", "example.com", 443, "/"},
      {"Example.COM/q", "example.com", 80, "/q"},
      // A later "http://" (here inside a query) names the host when the URL does not start with one.
      {"ftp://files.example/get?u=http://mirror.example/f", "mirror.example", 80, "/f"},
      // Ports that are not a number read as 0; digits beyond the range saturate instead of wrapping.
      {"http://example.com:abc/", "example.com", 0, "/"},
      {"http://example.com:/", "example.com", 0, "/"},
      {"http://example.com:99999999999/", "example.com", INT_MAX, "/"},
      // The trail byte 0x41 of a double-byte character is no letter: it stays, and the path is found.
      {"http://\x81\x41.EXAMPLE/P", "\x81\x41.example", 80, "/P"},
  };
  for (const UrlCase& c : cases) {
    EXPECT_EQ(UrlHost(c.url), c.host) << c.url;
    EXPECT_EQ(UrlPort(c.url), c.port) << c.url;
    EXPECT_EQ(UrlPath(c.url), c.path) << c.url;
  }
}

struct BetweenCase {
  const char* text;
  const char* left;
  const char* right;
  int start;
  bool ignoreCase;
  const char* expected;
};

TEST(TextBetweenTest, Markers) {
  const Text quote = kQuoteMarker;
  const Text quotedWord = "say \"hi\" now";
  EXPECT_EQ(TextBetween(quotedWord, quote, quote), "hi");
  EXPECT_EQ(TextBetween("k=\"v\";", "k=" + quote, quote + ";"), "v");

  const BetweenCase cases[] = {
      {"[a][b]", "[", "]", 0, false, "a"},
      {"[a][b]", "[", "]", 3, false, "b"},
      {"[a][b]", "[", "]", -5, false, "a"},
      {"]x[", "[", "]", 0, false, ""},  // the right marker occurs only before the left one
      {"[]", "[", "]", 0, false, ""},
      {"abc", "x", "c", 0, false, ""},
      {"[abc", "[", "]", 0, false, ""},
      {"abc[", "[", "]", 0, false, ""},
      {"<B>x</b>", "<b>", "</B>", 0, true, "x"},
      {"<B>x</b>", "<b>", "</B>", 0, false, ""},
      {"ab]c", "", "]", 0, false, "ab"},
      // 0x5B is the trail byte of the double-byte character B0 5B, not a left marker.
      {"\xB0[x]", "[", "]", 0, false, ""},
      {"\xB0[[x]", "[", "]", 0, false, "x"},
  };
  for (const BetweenCase& c : cases) {
    EXPECT_EQ(TextBetween(c.text, c.left, c.right, c.start, c.ignoreCase), c.expected)
        << c.text << " between " << c.left << " and " << c.right << " from " << c.start;
  }
}

TEST(HeaderValueTest, TextAfterFirstColon) {
  const std::pair<const char*, const char*> cases[] = {
      {"Host: example.com", "example.com"},
      {"no colon here", ""},
      {"Referer:  http://x.example:81/a  ", "http://x.example:81/a"},
      {"Key:", ""},
      {"A: one\r\nB: two", "one\r\nB: two"},
  };
  for (const auto& [line, value] : cases) EXPECT_EQ(HeaderValue(line), value) << line;
}

}  // namespace
}  // namespace velbrook
