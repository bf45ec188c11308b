#include "web/url_parts.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#include "base/text_routines.h"

namespace velbrook {
namespace {

constexpr char kHttpScheme[] = "http://";
constexpr char kHttpsScheme[] = "https://";
constexpr int kDefaultHttpPort = 80;
constexpr int kDefaultHttpsPort = 443;

// Byte positions are ints; texts this long are never URLs, so saturating is enough.
int PositionAfterEnd(const Text& text) {
  constexpr std::size_t kMaxPosition = std::numeric_limits<int>::max();
  return static_cast<int>(std::min(text.size(), kMaxPosition - 1) + 1);
}

bool StartsWithHttps(const Text& url) { return LowerAscii(LeftChars(url, 5)) == "https"; }

Text CutBeforeFirst(const Text& text, const Text& marker) {
  int at = FindText(text, marker);
  return at == 0 ? text : text.substr(0, static_cast<std::size_t>(at - 1));
}

Text HostByScheme(const Text& url, bool rootDomainOnly) {
  Text lowered = LowerAscii(url);
  if (RightChars(lowered, 1) != "/") lowered += "/";
  Text host;
  if (LeftChars(lowered, 8) == kHttpsScheme) {
    host = TextBetween(lowered, kHttpsScheme, "/");
  } else {
    if (FindText(lowered, kHttpScheme) == 0) lowered = kHttpScheme + lowered;
    host = TextBetween(lowered, kHttpScheme, "/");
  }
  if (rootDomainOnly) {
    std::vector<Text> labels = SplitText(host, ".");
    if (labels.size() > 1) host = labels[labels.size() - 2] + "." + labels.back();
  }
  return host;
}

Text HostByLabels(const Text& url, bool rootDomainOnly, int levels) {
  Text host = ReplaceAll(ReplaceAll(LowerAscii(url), kHttpScheme, ""), kHttpsScheme, "");
  host = CutBeforeFirst(host, "/");
  // The first search leaves out the last byte, so a trailing dot never counts as a separator.
  int dot = FindTextBackward(host, ".", PositionAfterEnd(host) - 1);
  for (std::int64_t step = 0; step < std::max(levels, 0) && dot != 0; ++step) {
    dot = FindTextBackward(host, ".", dot);
  }
  if (dot == 0) return host;
  if (rootDomainOnly) return host.substr(static_cast<std::size_t>(dot));
  int dotBefore = FindTextBackward(host, ".", dot);
  return dotBefore == 0 ? host : host.substr(static_cast<std::size_t>(dotBefore));
}

}  // namespace

Text TextBetween(const Text& text, const Text& leftMarker, const Text& rightMarker, int start,
                 bool ignoreCase) {
  const Text left = ReplaceAll(leftMarker, kQuoteMarker, "\"");
  const Text right = ReplaceAll(rightMarker, kQuoteMarker, "\"");
  int leftAt = FindText(text, left, start, ignoreCase);
  if (leftAt == 0) return Text();
  std::size_t cutBegin = static_cast<std::size_t>(leftAt - 1) + left.size();
  if (cutBegin >= text.size()) return Text();
  int rightAt = FindText(text, right, static_cast<int>(cutBegin + 1), ignoreCase);
  if (rightAt == 0) return Text();
  return text.substr(cutBegin, static_cast<std::size_t>(rightAt - 1) - cutBegin);
}

Text HeaderValue(const Text& headerLine) {
  int colon = FindText(headerLine, ":");
  if (colon == 0) return Text();
  return TrimSpaces(headerLine.substr(static_cast<std::size_t>(colon)));
}

Text UrlHost(const Text& url, bool rootDomainOnly, bool keepPort, std::optional<int> levels) {
  Text host = levels ? HostByLabels(url, rootDomainOnly, *levels) : HostByScheme(url, rootDomainOnly);
  return keepPort ? host : CutBeforeFirst(host, ":");
}

int UrlPort(const Text& url) {
  const Text hostWithPort = UrlHost(url, false, true);
  int colon = FindTextBackward(hostWithPort, ":");
  if (colon == 0) return StartsWithHttps(url) ? kDefaultHttpsPort : kDefaultHttpPort;
  const Text digits = hostWithPort.substr(static_cast<std::size_t>(colon));
  if (digits.empty() || digits[0] < '0' || digits[0] > '9') return 0;
  // Out-of-range digits saturate rather than wrap, so no port is ever read as a different valid one.
  return static_cast<int>(std::min<std::int64_t>(ReadInt64(digits), std::numeric_limits<int>::max()));
}

Text UrlPath(const Text& url) {
  int hostAt = FindText(url, UrlHost(url), 1, true);
  int slash = FindText(url, "/", hostAt == 0 ? 1 : hostAt, true);
  return slash == 0 ? Text("/") : url.substr(static_cast<std::size_t>(slash - 1));
}

}  // namespace velbrook
