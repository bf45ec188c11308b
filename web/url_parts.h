#pragma once

#include <optional>

#include "base/text.h"

// Stateless routines that take a URL apart and cut values out of header text. Positions are 1-based
// and searches step over double-byte characters, as in base/text_routines.h.
namespace velbrook {

// A marker may spell a double quote as this text, so that callers can write quotes inside markers.
inline constexpr char kQuoteMarker[] = "#\xD2\xFD\xBA\xC5";  // "#" and the word for "quote"

// The text between the first `leftMarker` at or after `start` and the first `rightMarker` after it;
// empty when either is missing.
Text TextBetween(const Text& text, const Text& leftMarker, const Text& rightMarker, int start = 0,
                 bool ignoreCase = false);

// The text after the first ":" of `headerLine`, trimmed; empty without a colon.
Text HeaderValue(const Text& headerLine);

// The lowercased host of `url`. Without `levels` the host is cut out between the scheme and the first
// "/"; with `levels` the last `levels` + 2 labels are kept (`levels` + 1 with `rootDomainOnly`).
// Without `levels`, `rootDomainOnly` keeps the last two labels. The port is cut off unless `keepPort`.
Text UrlHost(const Text& url, bool rootDomainOnly = false, bool keepPort = false,
             std::optional<int> levels = std::nullopt);

// The explicit port of `url`, else 443 for https and 80 otherwise.
int UrlPort(const Text& url);

// The object name of `url`: from the first "/" after the host to the end, in the URL's own letter
// case; "/" when there is none.
Text UrlPath(const Text& url);

}  // namespace velbrook
