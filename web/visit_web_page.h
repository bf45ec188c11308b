#pragma once

#include <optional>

#include "base/text.h"

namespace velbrook {

inline constexpr int kMethodGet = 0;
inline constexpr int kMethodPost = 1;
inline constexpr int kMethodHead = 2;

// The optional arguments of VisitWebPage. Inputs are optionals, so the routine knows which ones the
// caller gave; the by-reference arguments are pointers, and a null pointer is an omitted argument,
// for which the routine uses scratch values the caller never sees.
struct VisitOptions {
  // kMethodGet, kMethodPost or kMethodHead; any other value sends a GET.
  std::optional<int> method = std::nullopt;
  // The body as text, used when `postBytes` is empty.
  std::optional<Text> postText = std::nullopt;
  // in/out. Supplying it, even empty, switches the library's own cookie handling off for the request
  // and on return replaces it by the merge of itself and the cookies the response set.
  Text* cookies = nullptr;
  // out: the cookies the response set, items name=value joined by "; "; without any space when
  // `cookies` is supplied.
  Text* returnedCookies = nullptr;
  // in/out: request header lines separated by "\r\n"; on return the whole header block as sent.
  Text* extraHeaders = nullptr;
  // out: the raw response headers, or 5000 spaces when there are none or they do not fit.
  Text* returnedHeaders = nullptr;
  // Returns a redirect's own body instead of following it.
  std::optional<bool> noRedirect = std::nullopt;
  // in/out: the body as bytes, ahead of `postText`; receives the bytes of `postText` when it is empty
  // and a body is sent.
  Bytes* postBytes = nullptr;
  // Proxy server ("HOST:PORT") for the session; empty connects directly.
  std::optional<Text> proxy = std::nullopt;
};

// One complete HTTP or HTTPS request in a session of its own, returning the response body whatever
// its status. Empty when the session, the connection or the request cannot be opened; the
// by-reference arguments are then left as they were.
Bytes VisitWebPage(const Text& url, const VisitOptions& options = {});

}  // namespace velbrook
