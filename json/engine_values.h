#pragma once

// Conversions between the engine's values and the four kinds of result a document asks for. Only the
// json library's own sources include this header: it needs the engine's headers.

#include <js/TypeDecls.h>

#include <optional>

#include "base/text.h"

namespace velbrook::engine {

// A string as it is; undefined as the empty text; any other value but null by the engine's own
// ToString (numbers in their shortest decimal form, integral ones without a fraction part, true and
// false as words, arrays as their items joined by commas). Null and a failed conversion give nothing.
std::optional<Text> ValueToText(JSContext* cx, JS::HandleValue value);

// A number as it is; a string that reads as a number as that number; true as 1 and false as 0;
// undefined as 0. Null, objects and strings that do not read as a number give nothing.
std::optional<double> ValueToNumber(JSContext* cx, JS::HandleValue value);

// A truth value as it is; a number is true unless it is 0 or not a number; undefined is false. Every
// other value gives nothing.
std::optional<bool> ValueToTruth(JS::HandleValue value);

// The string's characters as Text. Lone surrogates become U+FFFD; characters outside the BMP come back
// whole. Nothing when the engine runs out of memory.
std::optional<Text> StringToText(JSContext* cx, JS::HandleString string);

// Drops whatever exception a failed call left pending, out of memory included.
void ClearPendingFailure(JSContext* cx);

}  // namespace velbrook::engine
