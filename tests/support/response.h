#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/recorded_request.h"

namespace velbrook::test_support {

// A body produced piece by piece, so that bodies of tens of MiB are never held whole.
struct StreamedBody {
  std::uint64_t length = 0;
  // Writes body bytes [offset, offset + size) to `out`. Runs on the connection's thread.
  std::function<void(std::uint64_t offset, char* out, std::size_t size)> fill;
};

// How the end of the body is told to the client.
enum class Framing {
  kContentLength,   // a Content-Length header (added unless the headers carry one)
  kChunked,         // Transfer-Encoding: chunked, `chunkBytes` per chunk
  kCloseDelimited,  // no length at all: the server closes the connection after the body
};

// How the server ends a connection on purpose in the middle of a body.
enum class CutMode {
  kClose,  // an orderly close (FIN)
  kReset,  // a TCP reset (RST)
};

// What the server sends back. The default is "200 OK" with `body` and a Content-Length. The server
// adds no header of its own except the framing header and "Connection: close" when it closes.
struct Response {
  int status = 200;
  std::string reason;           // empty: the usual phrase for `status`
  std::vector<Header> headers;  // sent in this order, names exactly as given
  std::string body;
  std::optional<StreamedBody> stream;  // used instead of `body` when set

  Framing framing = Framing::kContentLength;
  std::size_t chunkBytes = 16384;  // kChunked only
  // false: send `headers` exactly, adding neither Content-Length nor Transfer-Encoding.
  bool addFramingHeader = true;

  // Pacing: the body goes out in pieces of `pieceBytes` with `pieceDelay` between them (0: as fast
  // as the client reads).
  std::size_t pieceBytes = 0;
  std::chrono::milliseconds pieceDelay{0};
  std::chrono::milliseconds delayBeforeHeaders{0};

  // Stall: once the headers and `stallAtBodyByte` body bytes are out, nothing more is sent for
  // `stallFor`; then the connection is closed. Zero `stallFor` means no stall.
  std::chrono::milliseconds stallFor{0};
  std::uint64_t stallAtBodyByte = 0;

  // Cut: only this many body bytes are sent (the announced length stays whole), then the connection
  // ends as `cutMode` says.
  std::optional<std::uint64_t> cutAfterBodyBytes;
  CutMode cutMode = CutMode::kClose;

  // Closes the connection after this response (and says so with "Connection: close").
  bool closeConnection = false;

  // Exact bytes to write instead of everything above; the connection closes after them.
  std::optional<std::string> raw;

  // The body's total length, whichever of `body` and `stream` holds it.
  std::uint64_t BodyLength() const;
};

// The usual reason phrase of a status code ("OK", "Not Found", ...), or "Status" when unknown.
std::string ReasonPhrase(int status);

}  // namespace velbrook::test_support
