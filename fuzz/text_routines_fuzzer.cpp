// TextBetween, HeaderValue, UrlHost, UrlPort and UrlPath over arbitrary bytes.
// Input: options, then text \0 left marker \0 right marker (the last field may hold zero bytes).
// Option bits: 0 ignoreCase, 1 rootDomainOnly, 2 keepPort, 3 levels given; bits 4-7 pick the start
// position and the levels value.
#include <cstddef>
#include <cstdint>

#include "base/text_routines.h"
#include "fuzz/fuzz_input.h"
#include "web/url_parts.h"

namespace velbrook::fuzz {
namespace {

Text FoldEveryByte(Text text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

void CheckTextBetween(const Text& text, const Text& left, const Text& right, int start, bool ignoreCase) {
  const Text between = TextBetween(text, left, right, start, ignoreCase);
  if (between.empty()) return;
  Check(between.size() < text.size(), "TextBetween is shorter than its text");
  const Text leftPlain = ReplaceAll(left, kQuoteMarker, "\"");
  const Text rightPlain = ReplaceAll(right, kQuoteMarker, "\"");
  // The cut stands between the two markers somewhere at or after the start; an empty left marker is
  // found at position 1 whatever the start.
  const std::size_t from = start < 1 || leftPlain.empty() ? 0 : static_cast<std::size_t>(start - 1);
  // Every byte is folded here, trail bytes included: the routine folds only single-byte letters, and
  // which bytes are trail bytes depends on where its search started, so folding all of them on both
  // sides keeps every true match a match.
  const Text haystack = ignoreCase ? FoldEveryByte(text) : text;
  const Text needle =
      ignoreCase ? FoldEveryByte(leftPlain + between + rightPlain) : leftPlain + between + rightPlain;
  Check(haystack.find(needle, from) != Text::npos, "TextBetween's cut lies between its markers");
}

void CheckUrlRoutines(const Text& url, const FuzzInput& input, int number) {
  const Text host = UrlHost(url, input.Option(1), input.Option(2),
                            input.Option(3) ? std::optional<int>(number - 4) : std::nullopt);
  Check(host.size() <= url.size() + 1, "UrlHost adds nothing to the URL");
  Check(UrlPort(url) >= 0, "UrlPort is never negative");
  const Text path = UrlPath(url);
  Check(!path.empty() && path[0] == '/', "UrlPath begins with a slash");
  Check(path == "/" ||
            (url.size() >= path.size() && url.compare(url.size() - path.size(), path.size(), path) == 0),
        "UrlPath is the end of the URL");
}

}  // namespace
}  // namespace velbrook::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace velbrook;
  using namespace velbrook::fuzz;
  const FuzzInput input = SplitInput(data, size, 3);
  const Text& text = input.fields[0];
  const int number = input.options >> 4;  // 0 to 15
  CheckTextBetween(text, input.fields[1], input.fields[2], number - 2, input.Option(0));
  CheckTextBetween(input.fields[2], input.fields[0], input.fields[1], 0, input.Option(0));

  const Text value = HeaderValue(text);
  Check(value.size() < text.size() || value.empty(), "HeaderValue is shorter than its line");
  Check(text.find(value) != Text::npos, "HeaderValue is part of its line");

  CheckUrlRoutines(text, input, number);
  CheckUrlRoutines(input.fields[2], input, number);
  return 0;
}
