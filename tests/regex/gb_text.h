#pragma once

#include <string>

#include "base/code_page.h"
#include "base/text.h"

namespace velbrook::testing_support {

// Test texts are written in UTF-8 in the sources; the matcher takes GB18030.
inline Text Gb(const std::string& utf8) {
  bool ok = false;
  Text text = Utf8ToText(utf8, &ok);
  return ok ? text : Text("<not convertible>");
}

}  // namespace velbrook::testing_support
