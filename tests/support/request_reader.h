#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "tests/support/connection_stream.h"
#include "tests/support/recorded_request.h"

namespace velbrook::test_support {

enum class RequestStatus {
  kRequest,  // a whole request arrived
  kIdle,     // the connection ended or idled out before a new request began
  kBad,      // the request is malformed; the server answers 400 and closes
  kDropped,  // the client went away or took too long in the middle of a request
};

struct RequestOutcome {
  RequestStatus status = RequestStatus::kIdle;
  RecordedRequest request;
};

// Reads the next request from `stream`. `pending` carries bytes already read past the previous
// request and keeps those read past this one. A request that says "Expect: 100-continue" is told to
// go on before its body is read.
RequestOutcome ReadRequest(ConnectionStream& stream, std::string& pending,
                           std::chrono::milliseconds idleTimeout, std::chrono::milliseconds requestTimeout);

// Splits a head (request line, header lines, empty line) into `request`'s fields; `raw` is kept as
// given. False when the request line or a header line is malformed.
bool ParseRequestHead(std::string_view raw, RecordedRequest& request);

// Decodes a chunked body at the start of `data`. The bytes the chunked form takes, with the body in
// `body`; 0 when `data` does not hold all of it yet; nullopt when it is malformed.
std::optional<std::size_t> DecodeChunked(std::string_view data, std::string& body);

}  // namespace velbrook::test_support
