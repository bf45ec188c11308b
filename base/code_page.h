#pragma once

#include <string>

#include "base/text.h"

namespace velbrook {

// The ANSI code page that every Text is in.
inline constexpr const char* kAnsiCodePage = "GB18030";

// Converts `input` from one iconv encoding to another. All or nothing: input that is not valid in the
// source encoding, or an encoding pair iconv cannot set up, gives empty bytes.
Bytes ConvertCodePage(const Bytes& input, const char* fromEncoding, const char* toEncoding);

// The same conversion over plain byte strings; `ok` (when given) tells an empty result apart from a
// failure.
std::string ConvertCodePage(const std::string& input, const char* fromEncoding, const char* toEncoding,
                            bool* ok = nullptr);

// The helpers every boundary uses: Text (GB18030) to UTF-8 and back. Both are all or nothing.
std::string TextToUtf8(const Text& text, bool* ok = nullptr);
Text Utf8ToText(const std::string& utf8, bool* ok = nullptr);

}  // namespace velbrook
