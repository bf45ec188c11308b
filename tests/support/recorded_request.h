#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velbrook::test_support {

// One header line: the name as it was written, the value without the blanks around it.
struct Header {
  std::string name;
  std::string value;
};

// A request as the test server received it. `raw` holds the request line and the header block byte
// for byte, in the order received, up to and including the empty line that ends the block.
struct RecordedRequest {
  std::string raw;
  std::string method;
  std::string target;   // as on the request line: origin-form, absolute-form or authority-form
  std::string version;  // "HTTP/1.1"
  std::vector<Header> headers;
  std::string body;              // the body as the client meant it (chunked framing removed)
  bool chunkedBody = false;      // whether the body came with Transfer-Encoding: chunked
  std::size_t connectionId = 0;  // 1 for the first connection the server accepted, then 2, ...
  bool tls = false;              // whether it came over TLS

  // The request line without its CRLF, and the header lines after it (each ending in CRLF, without
  // the final empty line).
  std::string RequestLine() const;
  std::string RawHeaderLines() const;

  // The target's path without the query; for an absolute-form target the path after the authority
  // ("/" when it has none); for CONNECT the authority itself.
  std::string Path() const;
  // The text after the first '?', or empty.
  std::string Query() const;
  // The value of the first query parameter of this name (no percent-decoding), if present.
  std::optional<std::string> QueryParam(std::string_view name) const;

  // The value of the first header of this name, compared without letter case.
  std::optional<std::string> FindHeader(std::string_view name) const;
  // How many header lines carry this name, compared without letter case.
  std::size_t HeaderCount(std::string_view name) const;
};

}  // namespace velbrook::test_support
