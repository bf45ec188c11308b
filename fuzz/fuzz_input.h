#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/code_page.h"
#include "base/text.h"

// The shape every target reads its input in: one byte of option bits, then text fields separated by
// zero bytes. The last field takes the rest of the input, zero bytes included, so that the text that
// matters most to a routine can hold any byte. Seeds stay readable and easy to write by hand.
namespace velbrook::fuzz {

struct FuzzInput {
  std::uint8_t options = 0;
  std::vector<Text> fields;

  bool Option(int bit) const { return (options >> bit) & 1; }
};

inline FuzzInput SplitInput(const std::uint8_t* data, std::size_t size, std::size_t fieldCount) {
  FuzzInput input;
  std::size_t at = 0;
  if (size > 0) {
    input.options = data[0];
    at = 1;
  }
  const char* bytes = reinterpret_cast<const char*>(data);
  for (std::size_t field = 0; field + 1 < fieldCount; ++field) {
    std::size_t end = at;
    while (end < size && data[end] != 0) ++end;
    input.fields.emplace_back(bytes + at, end - at);
    at = end < size ? end + 1 : size;
  }
  input.fields.emplace_back(bytes + at, size - at);
  return input;
}

// Whether a text is well-formed GB18030, the only kind of Text the program itself produces.
inline bool IsAnsiText(const Text& text) {
  bool ok = false;
  (void)TextToUtf8(text, &ok);  // only whether it converts matters here
  return ok;
}

// A broken invariant is a finding like a crash: the message tells what broke, abort() makes libFuzzer
// keep the input.
[[noreturn]] inline void Fail(const char* what) {
  std::fprintf(stderr, "invariant broken: %s\n", what);
  std::abort();
}

inline void Check(bool holds, const char* what) {
  if (!holds) Fail(what);
}

}  // namespace velbrook::fuzz
