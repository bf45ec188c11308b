#include "tests/support/response_writer.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <string_view>

namespace velbrook::test_support {
namespace {

// Bodies are produced and written in blocks of at most this size.
constexpr std::size_t kBlockBytes = 64 * 1024;

bool HasHeader(const Response& response, std::string_view name) {
  return std::any_of(response.headers.begin(), response.headers.end(), [&](const Header& header) {
    return header.name.size() == name.size() &&
           std::equal(name.begin(), name.end(), header.name.begin(), [](char a, char b) {
             return std::tolower(static_cast<unsigned char>(a)) ==
                    std::tolower(static_cast<unsigned char>(b));
           });
  });
}

std::string BuildHead(const Response& response, bool closing) {
  std::string head = "HTTP/1.1 " + std::to_string(response.status) + " " +
                     (response.reason.empty() ? ReasonPhrase(response.status) : response.reason) + "\r\n";
  for (const Header& header : response.headers) {
    head += header.name + ": " + header.value + "\r\n";
  }
  if (response.addFramingHeader) {
    if (response.framing == Framing::kContentLength && !HasHeader(response, "Content-Length")) {
      head += "Content-Length: " + std::to_string(response.BodyLength()) + "\r\n";
    } else if (response.framing == Framing::kChunked && !HasHeader(response, "Transfer-Encoding")) {
      head += "Transfer-Encoding: chunked\r\n";
    }
  }
  if (closing && !HasHeader(response, "Connection")) {
    head += "Connection: close\r\n";
  }
  return head + "\r\n";
}

// Sends the body bytes [0, total) of `response` in framing units, with the pacing between pieces.
class BodySender {
 public:
  BodySender(ConnectionStream& stream, const Response& response, StopSignal& stop)
      : stream_(stream), response_(response), stop_(stop) {}

  // Sends body bytes up to `end` (exclusive); false when the connection failed or the server stops.
  bool SendUpTo(std::uint64_t end) {
    const bool chunked = response_.framing == Framing::kChunked;
    std::size_t unit = response_.pieceBytes > 0 ? response_.pieceBytes : kBlockBytes;
    if (chunked) {
      unit = std::min(unit, response_.chunkBytes);
    }
    while (sent_ < end) {
      const std::size_t size = static_cast<std::size_t>(std::min<std::uint64_t>(unit, end - sent_));
      if (!Pause()) {
        return false;
      }
      std::string piece;
      if (chunked) {
        char sizeLine[32];
        const int length = std::snprintf(sizeLine, sizeof(sizeLine), "%zx\r\n", size);
        piece.assign(sizeLine, static_cast<std::size_t>(length));
      }
      const std::size_t bodyStart = piece.size();
      piece.resize(bodyStart + size);
      if (response_.stream) {
        response_.stream->fill(sent_, piece.data() + bodyStart, size);
      } else {
        std::copy_n(response_.body.data() + sent_, size, piece.data() + bodyStart);
      }
      if (chunked) {
        piece += "\r\n";
      }
      if (!stream_.WriteAll(piece)) {
        return false;
      }
      sent_ += size;
    }
    return true;
  }

 private:
  // The delay before every piece but the first.
  bool Pause() {
    if (!first_ && response_.pieceDelay.count() > 0 && !stop_.SleepFor(response_.pieceDelay)) {
      return false;
    }
    first_ = false;
    return true;
  }

  ConnectionStream& stream_;
  const Response& response_;
  StopSignal& stop_;
  std::uint64_t sent_ = 0;
  bool first_ = true;
};

}  // namespace

bool WriteResponse(ConnectionStream& stream, const Response& response, bool headOnly, bool closeAfter,
                   StopSignal& stop) {
  if (response.raw) {
    (void)stream.WriteAll(*response.raw);  // the connection closes either way
    stream.Close();
    return false;
  }
  const bool closing =
      closeAfter || response.closeConnection || (response.framing == Framing::kCloseDelimited && !headOnly);
  if (response.delayBeforeHeaders.count() > 0 && !stop.SleepFor(response.delayBeforeHeaders)) {
    return false;
  }
  if (!stream.WriteAll(BuildHead(response, closing))) {
    return false;
  }
  const std::uint64_t length = headOnly ? 0 : response.BodyLength();
  BodySender sender(stream, response, stop);
  const bool stalls = response.stallFor.count() > 0;
  if (stalls && response.stallAtBodyByte <= length) {
    if (sender.SendUpTo(response.stallAtBodyByte)) {
      (void)stop.SleepFor(response.stallFor);  // the connection closes after the stall either way
    }
    stream.Close();
    return false;
  }
  if (response.cutAfterBodyBytes && *response.cutAfterBodyBytes < length) {
    if (sender.SendUpTo(*response.cutAfterBodyBytes)) {
      response.cutMode == CutMode::kReset ? stream.Reset() : stream.Close();
    }
    stream.Close();
    return false;
  }
  if (!sender.SendUpTo(length) ||
      (!headOnly && response.framing == Framing::kChunked && !stream.WriteAll("0\r\n\r\n"))) {
    stream.Close();
    return false;
  }
  if (closing) {
    stream.Close();
    return false;
  }
  return true;
}

}  // namespace velbrook::test_support
