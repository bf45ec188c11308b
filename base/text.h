#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace velbrook {

// 8-bit text in the ANSI code page, which is GB18030 here: a byte with the high bit set begins a
// double-byte unit together with the byte after it (a four-byte character steps as two such units).
// The empty text stands for "no value"; there is no separate null state.
using Text = std::string;

// A counted byte buffer; an empty buffer has length 0.
using Bytes = std::vector<std::uint8_t>;

inline Text BytesToText(const Bytes& bytes) { return Text(bytes.begin(), bytes.end()); }
inline Bytes TextToBytes(const Text& text) { return Bytes(text.begin(), text.end()); }

// The text up to (not including) its first zero byte, as the callers take a body "as text".
Text TextUpToZero(const Bytes& bytes);
Text TextUpToZero(const Text& text);

}  // namespace velbrook
