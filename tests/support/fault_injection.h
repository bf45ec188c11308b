#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/response.h"

// Seeded, reproducible faults for soak tests. A plan picks a fault from the request's key (a song id,
// a path) and the seed alone, so the choice does not depend on the order or timing of requests.
namespace velbrook::test_support {

enum class Fault {
  kNone,
  kResetMidBody,  // half the body, then a TCP reset
  kShortBody,     // half the body, then an orderly close, the full length announced
  kStall,         // half the body, then nothing for FaultSettings::stall, then a close
  kNotFound,      // 404 with kNotFoundHtml
  kServerError,   // 500 with kServerErrorHtml
  kRedirectLoop,  // 302 to FaultSettings::loopUrl
  kGzip,          // the whole body, gzip-encoded (a healthy answer that a client must decode)
  kHugeHeaders,   // the whole body under response headers longer than FaultSettings::hugeHeaderBytes
  // 302 to FaultSettings::refusedUrl, so that the client's next connection is refused.
  kConnectionRefused,
  // Resolver answers in place of the healthy one; each leaves a client without a usable media URL.
  kNotJson,     // 200 with an HTML page where the JSON object belongs
  kNullUrl,     // {"url":null}
  kRefusedUrl,  // {"url":FaultSettings::refusedUrl}
  kFileUrl,     // {"url":FaultSettings::fileUrl}
  kFtpUrl,      // {"url":FaultSettings::ftpUrl}
};

struct FaultSettings {
  std::chrono::milliseconds stall{3000};
  std::string loopUrl;  // a URL that redirects to itself
  std::size_t hugeHeaderBytes = 6000;
  std::string refusedUrl;  // a URL on a port where nothing listens (ClosedPort::Url)
  std::string fileUrl;     // "file:///..." naming a local file
  std::string ftpUrl;      // "ftp://127.0.0.1:PORT/..."
};

class FaultPlan {
 public:
  // Each key draws kNone with probability 1 - perMille/1000, else one of `faults` evenly.
  FaultPlan(std::uint32_t seed, std::vector<Fault> faults, unsigned perMille);

  Fault For(std::string_view key) const;

 private:
  std::uint32_t seed_;
  std::vector<Fault> faults_;
  unsigned perMille_;
};

// `healthy` altered by `fault`. A streamed body that has to be gzip-encoded is produced whole first.
Response ApplyFault(Fault fault, Response healthy, const FaultSettings& settings);

// Adds a header line "X-Padding: ..." that makes the response headers at least `headerBytes` long.
Response WithPaddingHeader(Response response, std::size_t headerBytes);

const char* FaultName(Fault fault);

}  // namespace velbrook::test_support
