#pragma once

#include <string>

#include "base/code_page.h"
#include "base/text.h"

namespace velbrook::json_test {

// Test literals are written in UTF-8; documents take and give GB18030.
inline Text Gb(const std::string& utf8) {
  bool converted = false;
  Text text = Utf8ToText(utf8, &converted);
  return converted ? text : Text("<not convertible>");
}

}  // namespace velbrook::json_test
