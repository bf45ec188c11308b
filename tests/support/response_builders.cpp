#include "tests/support/response_builders.h"

#include <algorithm>
#include <cctype>
#include <charconv>

#include "tests/support/encoding.h"

namespace velbrook::test_support {
namespace {

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
    text.remove_prefix(1);
  }
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
    text.remove_suffix(1);
  }
  return text;
}

// A run of decimal digits and nothing else; nullopt otherwise (an empty text included).
std::optional<std::uint64_t> ReadDigits(std::string_view text) {
  std::uint64_t value = 0;
  if (text.empty() || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return std::nullopt;
  }
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) {
    return std::nullopt;
  }
  return value;
}

std::string ContentRange(const ByteRange& range, std::uint64_t length) {
  return "bytes " + std::to_string(range.first) + "-" + std::to_string(range.last) + "/" +
         std::to_string(length);
}

// The status, Content-Range and Accept-Ranges that a Range header asks of a body of `length` bytes;
// the selected range in `*selected` when the answer is 206.
Response RangeHead(const RecordedRequest& request, std::uint64_t length, std::optional<ByteRange>* selected) {
  Response response;
  response.headers.push_back({"Accept-Ranges", "bytes"});
  const std::optional<std::string> header = request.FindHeader("Range");
  const std::optional<ByteRange> range = header ? ParseRange(*header, length) : std::nullopt;
  if (range && range->unsatisfiable) {
    response.status = 416;
    response.headers.push_back({"Content-Range", "bytes */" + std::to_string(length)});
  } else if (range) {
    response.status = 206;
    response.headers.push_back({"Content-Range", ContentRange(*range, length)});
    *selected = range;
  }
  return response;
}

}  // namespace

Response TextResponse(int status, std::string body, std::string contentType) {
  Response response;
  response.status = status;
  if (!contentType.empty()) {
    response.headers.push_back({"Content-Type", std::move(contentType)});
  }
  response.body = std::move(body);
  return response;
}

Response OkResponse(std::string body, std::string contentType) {
  return TextResponse(200, std::move(body), std::move(contentType));
}

Response JsonResponse(std::string json) { return TextResponse(200, std::move(json), "application/json"); }

Response HtmlResponse(std::string html) {
  return TextResponse(200, std::move(html), "text/html; charset=utf-8");
}

Response NotFoundHtml() { return TextResponse(404, std::string(kNotFoundHtml), "text/html"); }

Response ServerErrorHtml() { return TextResponse(500, std::string(kServerErrorHtml), "text/html"); }

Response CloseDelimited(std::string body) {
  Response response = OkResponse(std::move(body));
  response.framing = Framing::kCloseDelimited;
  return response;
}

Response Chunked(std::string body, std::size_t chunkBytes) {
  Response response = OkResponse(std::move(body));
  response.framing = Framing::kChunked;
  response.chunkBytes = std::max<std::size_t>(chunkBytes, 1);
  return response;
}

Response GzipEncoded(std::string body) {
  Response response = OkResponse(GzipEncode(body));
  response.headers.push_back({"Content-Encoding", "gzip"});
  return response;
}

Response DeflateEncoded(std::string body) {
  Response response = OkResponse(DeflateEncode(body));
  response.headers.push_back({"Content-Encoding", "deflate"});
  return response;
}

Response RangeAware(const RecordedRequest& request, std::string body) {
  std::optional<ByteRange> selected;
  Response response = RangeHead(request, body.size(), &selected);
  if (selected) {
    response.body = body.substr(static_cast<std::size_t>(selected->first),
                                static_cast<std::size_t>(selected->last - selected->first + 1));
  } else if (response.status == 200) {
    response.body = std::move(body);
  }
  return response;
}

Response RangeAware(const RecordedRequest& request, StreamedBody body) {
  std::optional<ByteRange> selected;
  Response response = RangeHead(request, body.length, &selected);
  if (selected) {
    const std::uint64_t first = selected->first;
    auto fill = std::move(body.fill);
    response.stream = StreamedBody{selected->last - first + 1,
                                   [first, fill](std::uint64_t offset, char* out, std::size_t size) {
                                     fill(first + offset, out, size);
                                   }};
  } else if (response.status == 200) {
    response.stream = std::move(body);
  }
  return response;
}

StreamedBody PatternBody(std::uint64_t length, std::uint32_t seed) {
  return StreamedBody{length, [seed](std::uint64_t offset, char* out, std::size_t size) {
                        FillPattern(seed, offset, out, size);
                      }};
}

Response StreamedPattern(std::uint64_t length, std::uint32_t seed) {
  Response response = OkResponse({});
  response.stream = PatternBody(length, seed);
  return response;
}

Response Slow(std::string body, std::size_t pieceBytes, std::chrono::milliseconds delay) {
  Response response = OkResponse(std::move(body));
  response.pieceBytes = std::max<std::size_t>(pieceBytes, 1);
  response.pieceDelay = delay;
  return response;
}

Response Stalling(std::string body, std::chrono::milliseconds stall, std::uint64_t afterBytes) {
  Response response = OkResponse(std::move(body));
  response.stallFor = stall;
  response.stallAtBodyByte = afterBytes;
  return response;
}

Response CutMidBody(std::string body, std::uint64_t sentBytes, CutMode mode) {
  Response response = OkResponse(std::move(body));
  response.cutAfterBodyBytes = sentBytes;
  response.cutMode = mode;
  return response;
}

Response Redirect(std::string location, int status) {
  Response response =
      TextResponse(status, "<html><body><a href=\"" + location + "\">moved</a></body></html>\n", "text/html");
  response.headers.push_back({"Location", std::move(location)});
  return response;
}

Response RawResponse(std::string bytes) {
  Response response;
  response.raw = std::move(bytes);
  return response;
}

std::optional<ByteRange> ParseRange(std::string_view value, std::uint64_t length) {
  value = TrimBlanks(value);
  constexpr std::string_view kUnit = "bytes=";
  if (value.size() < kUnit.size() ||
      !std::equal(kUnit.begin(), kUnit.end(), value.begin(),
                  [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); })) {
    return std::nullopt;
  }
  const std::string_view spec = TrimBlanks(value.substr(kUnit.size()));
  const std::size_t dash = spec.find('-');
  if (dash == std::string_view::npos || spec.find(',') != std::string_view::npos) {
    return std::nullopt;
  }
  const std::string_view firstText = TrimBlanks(spec.substr(0, dash));
  const std::string_view lastText = TrimBlanks(spec.substr(dash + 1));
  if (firstText.empty()) {
    // "bytes=-S": the last S bytes.
    const std::optional<std::uint64_t> suffix = ReadDigits(lastText);
    if (!suffix) {
      return std::nullopt;
    }
    if (*suffix == 0 || length == 0) {
      return ByteRange{0, 0, true};
    }
    return ByteRange{length - std::min(*suffix, length), length - 1, false};
  }
  const std::optional<std::uint64_t> first = ReadDigits(firstText);
  const std::optional<std::uint64_t> last =
      lastText.empty() ? std::optional<std::uint64_t>(UINT64_MAX) : ReadDigits(lastText);
  if (!first || !last || *last < *first) {
    return std::nullopt;
  }
  if (*first >= length) {
    return ByteRange{*first, *first, true};
  }
  return ByteRange{*first, std::min(*last, length - 1), false};
}

}  // namespace velbrook::test_support
