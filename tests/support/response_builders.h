#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "tests/support/recorded_request.h"
#include "tests/support/response.h"

// Ready-made responses for the cases that network tests need. Each returns a plain Response that a
// test may adjust further before handing it to the server.
namespace velbrook::test_support {

inline constexpr std::string_view kNotFoundHtml =
    "<html><head><title>404 Not Found</title></head><body><h1>Not Found</h1></body></html>\n";
inline constexpr std::string_view kServerErrorHtml =
    "<html><head><title>500 Internal Server Error</title></head>"
    "<body><h1>Internal Server Error</h1></body></html>\n";

// `status` with `body` and a Content-Length; a Content-Type header when `contentType` is not empty.
Response TextResponse(int status, std::string body, std::string contentType = "text/plain");
Response OkResponse(std::string body, std::string contentType = "application/octet-stream");
Response JsonResponse(std::string json);  // 200, application/json
Response HtmlResponse(std::string html);  // 200, text/html; charset=utf-8
Response NotFoundHtml();                  // 404 with kNotFoundHtml
Response ServerErrorHtml();               // 500 with kServerErrorHtml

// The same body framed otherwise.
Response CloseDelimited(std::string body);
Response Chunked(std::string body, std::size_t chunkBytes = 1000);

// The body compressed (stored deflate blocks, see encoding.h), with Content-Encoding gzip or deflate
// and the compressed length as Content-Length.
Response GzipEncoded(std::string body);
Response DeflateEncoded(std::string body);

// Answers the request's Range header over `body`: "bytes=N-", "bytes=N-M" and "bytes=-S" (with or
// without blanks around the value) give 206 with Content-Range and the selected bytes; a range that
// starts at or beyond the end gives 416 with "Content-Range: bytes */LENGTH"; no Range header, or one
// that does not parse or names several ranges, gives 200 with the whole body. Accept-Ranges: bytes
// is always sent.
Response RangeAware(const RecordedRequest& request, std::string body);
Response RangeAware(const RecordedRequest& request, StreamedBody body);

// A deterministic body of `length` bytes (PatternBytes of encoding.h with `seed`) streamed in
// pieces, never held whole. Compare what a client saved against PatternBytes(length, seed).
StreamedBody PatternBody(std::uint64_t length, std::uint32_t seed = 0);
Response StreamedPattern(std::uint64_t length, std::uint32_t seed = 0);

// The body trickled out: `pieceBytes` at a time with `delay` between the pieces.
Response Slow(std::string body, std::size_t pieceBytes, std::chrono::milliseconds delay);

// Headers announcing `body`, then `afterBytes` body bytes, then nothing for `stall`, then a close.
Response Stalling(std::string body, std::chrono::milliseconds stall, std::uint64_t afterBytes = 0);

// Announces all of `body` but sends only `sentBytes` of it, then closes or resets the connection.
Response CutMidBody(std::string body, std::uint64_t sentBytes, CutMode mode = CutMode::kClose);

// A redirect with a Location header and a small HTML body. Build the targets with the server's Url()
// (another path, the TLS server's Url() for https), or a literal "file:///etc/passwd" or
// "ftp://127.0.0.1:PORT/a.mp3". A loop is two paths redirecting to each other, or one to itself.
Response Redirect(std::string location, int status = 302);

// Exactly these bytes, then a close: for header spellings and sizes that no builder makes.
Response RawResponse(std::string bytes);

// The value of a Range header as a byte range over a body of `length` bytes, in the forms that
// RangeAware accepts. nullopt when it does not parse (or names several ranges);
// `unsatisfiable` when it parses but starts at or beyond the end.
struct ByteRange {
  std::uint64_t first = 0;
  std::uint64_t last = 0;  // inclusive
  bool unsatisfiable = false;
};
std::optional<ByteRange> ParseRange(std::string_view value, std::uint64_t length);

}  // namespace velbrook::test_support
