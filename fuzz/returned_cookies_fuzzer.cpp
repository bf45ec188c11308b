// The Set-Cookie extraction over arbitrary raw headers, in the one spelling of the header name that
// the page request gives them, followed by the merge into a kept cookie text.
// Input: options (unused), then kept cookies \0 raw headers.
#include <cstddef>
#include <cstdint>

#include "base/text_routines.h"
#include "fuzz/fuzz_input.h"
#include "web/cookie_merge.h"
#include "web/returned_cookies.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace velbrook;
  using namespace velbrook::fuzz;
  const FuzzInput input = SplitInput(data, size, 2);
  const Text& raw = input.fields[1];
  const Text cookies = ExtractReturnedCookies(raw);
  if (FindText(raw, "Set-Cookie") == 0) Check(cookies.empty(), "no Set-Cookie line, no cookie");
  Check(cookies.size() <= raw.size(), "the cookies are no longer than the headers");

  const Text normalised = ReplaceAll(raw, "Set-Cookie", "Set-Cookie", true);
  Check(normalised.size() == raw.size(), "respelling the header name keeps the length");
  Text returned = ExtractReturnedCookies(normalised);
  Text kept = input.fields[0];
  (void)MergeCookies(kept, returned);  // the merge's own invariants have a target of their own
  return 0;
}
