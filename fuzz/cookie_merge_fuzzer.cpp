// MergeCookies over arbitrary old and new cookie texts.
// Input: options (unused), then old cookies \0 new cookies.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/text_routines.h"
#include "fuzz/fuzz_input.h"
#include "web/cookie_merge.h"

namespace velbrook::fuzz {
namespace {

constexpr char kIdeographicSpace[] = "\xA1\xA1";

// Whether a space or an ideographic space starts at some character boundary of `text`.
bool HoldsSpace(const Text& text) {
  for (std::size_t at = 0; at < text.size(); at += CharLengthAt(text, at)) {
    if (text[at] == ' ' || text.compare(at, 2, kIdeographicSpace) == 0) return true;
  }
  return false;
}

}  // namespace
}  // namespace velbrook::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace velbrook;
  using namespace velbrook::fuzz;
  const FuzzInput input = SplitInput(data, size, 2);
  Text oldCookies = input.fields[0];
  Text newCookies = input.fields[1];
  const Text merged = MergeCookies(oldCookies, newCookies);
  Check(merged == oldCookies, "the result is what oldCookies receives");
  Check(!HoldsSpace(newCookies), "newCookies loses its spaces");
  Check(newCookies == RemoveSpaces(input.fields[1]), "newCookies loses nothing but spaces");
  // Items joined by "; " are told apart only in well-formed text: a stray lead byte swallows the ';'.
  if (!IsAnsiText(input.fields[0]) || !IsAnsiText(input.fields[1])) return 0;
  const std::vector<Text> items = SplitText(merged, "; ");
  for (const Text& item : items) Check(!HoldsSpace(item), "merged items hold no space");
  for (std::size_t i = 0; i < items.size(); ++i) {
    Check(RightChars(items[i], 8) != "=deleted", "deleted cookies are left out");
    Check(std::find(items.begin() + static_cast<std::ptrdiff_t>(i) + 1, items.end(), items[i]) == items.end(),
          "every merged item is there once");
  }
  return 0;
}
