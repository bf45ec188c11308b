#pragma once

#include "base/text.h"

namespace velbrook {

// The form that the playlist identifier box gives its text when it loses the focus: the text read as
// a decimal integer (leading white space, an optional sign, the digits up to the first other
// character; nothing read gives 0), clamped to the signed 64-bit range, in decimal. 0 gives the
// empty text. The 64-bit range keeps real identifiers above 2147483647 intact.
Text NormalisedPlaylistId(const Text& text);

}  // namespace velbrook
