// The code-page conversions between Text (GB18030) and UTF-8, over arbitrary bytes: whatever converts
// converts back to exactly what it was, and a failure gives nothing.
#include <cstddef>
#include <cstdint>

#include "base/code_page.h"
#include "fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace velbrook;
  using namespace velbrook::fuzz;
  const std::string input(reinterpret_cast<const char*>(data), size);

  bool toUtf8 = false;
  const std::string utf8 = TextToUtf8(input, &toUtf8);
  if (toUtf8) {
    bool back = false;
    const Text text = Utf8ToText(utf8, &back);
    Check(back, "UTF-8 made from a Text converts back");
    Check(text == input, "Text to UTF-8 and back gives the Text");
  } else {
    Check(utf8.empty(), "a failed conversion gives nothing");
  }

  bool toText = false;
  const Text text = Utf8ToText(input, &toText);
  if (toText) {
    bool back = false;
    Check(TextToUtf8(text, &back) == input && back, "UTF-8 to Text and back gives the UTF-8");
  } else {
    Check(text.empty(), "a failed conversion gives nothing");
  }

  const Bytes bytes(data, data + size);
  Check(ConvertCodePage(bytes, "UTF-8", kAnsiCodePage) == TextToBytes(text), "both forms agree");
  return 0;
}
