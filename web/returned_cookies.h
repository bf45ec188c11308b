#pragma once

#include "base/text.h"

namespace velbrook {

// The cookies that raw response headers set, one item per line that holds "Set-Cookie": the text
// between "Set-Cookie:" and the first ";" after it, or the whole line without its header name when
// the line has no ";". Items are trimmed and joined by "; "; no such line gives the empty text.
// The header names are expected in the one spelling "Set-Cookie".
Text ExtractReturnedCookies(const Text& rawHeaders);

}  // namespace velbrook
