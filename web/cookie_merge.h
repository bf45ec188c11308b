#pragma once

#include "base/text.h"

namespace velbrook {

// Folds the cookies a response set (`newCookies`) into the cookie text a caller keeps between
// requests (`oldCookies`): new items first in their order, then the old items whose names the
// response did not mention, without items ending in "=deleted" and without exact repeats, joined by
// "; ". Both arguments lose every space; `oldCookies` receives the merged text, which is also returned.
Text MergeCookies(Text& oldCookies, Text& newCookies);

}  // namespace velbrook
