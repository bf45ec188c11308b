#include "tests/support/fault_injection.h"

#include <algorithm>

#include "tests/support/encoding.h"
#include "tests/support/response_builders.h"

namespace velbrook::test_support {
namespace {

constexpr std::uint64_t kFnvOffset = 1469598103934665603ull;
constexpr std::uint64_t kFnvPrime = 1099511628211ull;
constexpr unsigned kPerMilleScale = 1000;
// What a busy API gateway answers in place of JSON.
constexpr char kBusyPageHtml[] =
    "<html><head><title>Service busy</title></head><body><p>Please try again later.</p></body></html>\n";

std::uint64_t Mix(std::uint64_t x) {
  x ^= x >> 33;
  x *= 0xFF51AFD7ED558CCDull;
  x ^= x >> 33;
  x *= 0xC4CEB9FE1A85EC53ull;
  return x ^ (x >> 33);
}

std::string WholeBody(const Response& response) {
  if (!response.stream) {
    return response.body;
  }
  std::string body(static_cast<std::size_t>(response.stream->length), '\0');
  response.stream->fill(0, body.data(), body.size());
  return body;
}

// The resolver's answer shape, {"url":...}, with `url` as a JSON value.
Response UrlAnswer(const std::string& urlJson) { return JsonResponse("{\"url\":" + urlJson + "}"); }

std::string Quoted(const std::string& text) {
  std::string quoted = "\"";
  for (const char ch : text) {
    if (ch == '"' || ch == '\\') quoted += '\\';
    quoted += ch;
  }
  return quoted + "\"";
}

}  // namespace

FaultPlan::FaultPlan(std::uint32_t seed, std::vector<Fault> faults, unsigned perMille)
    : seed_(seed), faults_(std::move(faults)), perMille_(std::min(perMille, kPerMilleScale)) {}

Fault FaultPlan::For(std::string_view key) const {
  std::uint64_t hash = kFnvOffset ^ seed_;
  for (const char ch : key) {
    hash = (hash ^ static_cast<unsigned char>(ch)) * kFnvPrime;
  }
  hash = Mix(hash);
  if (faults_.empty() || hash % kPerMilleScale >= perMille_) {
    return Fault::kNone;
  }
  return faults_[(hash / kPerMilleScale) % faults_.size()];
}

Response ApplyFault(Fault fault, Response healthy, const FaultSettings& settings) {
  const std::uint64_t half = healthy.BodyLength() / 2;
  switch (fault) {
    case Fault::kNone:
      return healthy;
    case Fault::kResetMidBody:
    case Fault::kShortBody:
      healthy.cutAfterBodyBytes = half;
      healthy.cutMode = fault == Fault::kResetMidBody ? CutMode::kReset : CutMode::kClose;
      return healthy;
    case Fault::kStall:
      healthy.stallFor = settings.stall;
      healthy.stallAtBodyByte = half;
      return healthy;
    case Fault::kNotFound:
      return NotFoundHtml();
    case Fault::kServerError:
      return ServerErrorHtml();
    case Fault::kRedirectLoop:
      return Redirect(settings.loopUrl);
    case Fault::kGzip: {
      healthy.body = GzipEncode(WholeBody(healthy));
      healthy.stream.reset();
      healthy.headers.push_back({"Content-Encoding", "gzip"});
      return healthy;
    }
    case Fault::kHugeHeaders:
      return WithPaddingHeader(std::move(healthy), settings.hugeHeaderBytes);
    case Fault::kConnectionRefused:
      return Redirect(settings.refusedUrl);
    case Fault::kNotJson:
      return HtmlResponse(kBusyPageHtml);
    case Fault::kNullUrl:
      return UrlAnswer("null");
    case Fault::kRefusedUrl:
      return UrlAnswer(Quoted(settings.refusedUrl));
    case Fault::kFileUrl:
      return UrlAnswer(Quoted(settings.fileUrl));
    case Fault::kFtpUrl:
      return UrlAnswer(Quoted(settings.ftpUrl));
  }
  return healthy;
}

Response WithPaddingHeader(Response response, std::size_t headerBytes) {
  response.headers.push_back({"X-Padding", std::string(headerBytes, 'p')});
  return response;
}

const char* FaultName(Fault fault) {
  switch (fault) {
    case Fault::kNone:
      return "none";
    case Fault::kResetMidBody:
      return "reset mid-body";
    case Fault::kShortBody:
      return "short body";
    case Fault::kStall:
      return "stall";
    case Fault::kNotFound:
      return "404";
    case Fault::kServerError:
      return "500";
    case Fault::kRedirectLoop:
      return "redirect loop";
    case Fault::kGzip:
      return "gzip";
    case Fault::kHugeHeaders:
      return "huge headers";
    case Fault::kConnectionRefused:
      return "connection refused";
    case Fault::kNotJson:
      return "not JSON";
    case Fault::kNullUrl:
      return "null url";
    case Fault::kRefusedUrl:
      return "url to a closed port";
    case Fault::kFileUrl:
      return "file:// url";
    case Fault::kFtpUrl:
      return "ftp:// url";
  }
  return "unknown";
}

}  // namespace velbrook::test_support
