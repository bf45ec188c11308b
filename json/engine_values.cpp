#include "json/engine_values.h"

#include <js/CharacterEncoding.h>
#include <js/Conversions.h>
#include <js/Exception.h>
#include <js/String.h>
#include <jsapi.h>

#include <cmath>
#include <string>

#include "base/code_page.h"

namespace velbrook::engine {

std::optional<Text> StringToText(JSContext* cx, JS::HandleString string) {
  JSLinearString* linear = JS_EnsureLinearString(cx, string);
  if (linear == nullptr) return std::nullopt;
  // Measuring first keeps zero characters inside the string, which a zero-terminated copy would cut.
  std::string utf8(JS::GetDeflatedUTF8StringLength(linear), '\0');
  std::size_t written = JS::DeflateStringToUTF8Buffer(linear, mozilla::Span<char>(utf8.data(), utf8.size()));
  utf8.resize(written);
  bool converted = false;
  Text text = Utf8ToText(utf8, &converted);
  if (!converted) return std::nullopt;
  return text;
}

std::optional<Text> ValueToText(JSContext* cx, JS::HandleValue value) {
  if (value.isUndefined()) return Text();
  if (value.isNull()) return std::nullopt;
  JS::RootedString string(cx, value.isString() ? value.toString() : JS::ToString(cx, value));
  if (!string) return std::nullopt;
  return StringToText(cx, string);
}

std::optional<double> ValueToNumber(JSContext* cx, JS::HandleValue value) {
  if (value.isNumber()) return value.toNumber();
  if (value.isUndefined()) return 0.0;
  if (value.isBoolean()) return value.toBoolean() ? 1.0 : 0.0;
  if (!value.isString()) return std::nullopt;
  double number = 0;
  if (!JS::ToNumber(cx, value, &number) || std::isnan(number)) return std::nullopt;
  return number;
}

std::optional<bool> ValueToTruth(JS::HandleValue value) {
  if (value.isBoolean()) return value.toBoolean();
  if (value.isUndefined()) return false;
  if (value.isNumber()) return value.toNumber() != 0 && !std::isnan(value.toNumber());
  return std::nullopt;
}

void ClearPendingFailure(JSContext* cx) {
  // An evaluation stopped by the time limit leaves nothing pending; clearing then is harmless.
  JS_ClearPendingException(cx);
}

}  // namespace velbrook::engine
