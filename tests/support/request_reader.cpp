#include "tests/support/request_reader.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace velbrook::test_support {
namespace {

constexpr std::size_t kMaxHeadBytes = 1 << 20;
constexpr std::size_t kMaxBodyBytes = 64u << 20;
constexpr std::string_view kHeadEnd = "\r\n\r\n";
constexpr std::string_view kContinue = "HTTP/1.1 100 Continue\r\n\r\n";

std::string_view TrimBlanks(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) {
    return {};
  }
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool ContainsToken(std::string value, std::string_view token) {
  std::transform(value.begin(), value.end(), value.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return value.find(token) != std::string::npos;
}

// Reads more bytes into `pending` until `done` says enough is there.
template <typename Done>
ReadStatus ReadUntil(ConnectionStream& stream, std::string& pending, Clock::time_point deadline,
                     std::size_t limit, Done done) {
  while (!done()) {
    if (pending.size() > limit) {
      return ReadStatus::kFailed;
    }
    const ReadStatus status = stream.ReadSome(pending, limit + 1 - pending.size(), deadline);
    if (status != ReadStatus::kData) {
      return status;
    }
  }
  return ReadStatus::kData;
}

}  // namespace

bool ParseRequestHead(std::string_view raw, RecordedRequest& request) {
  request.raw = std::string(raw);
  std::size_t lineEnd = raw.find("\r\n");
  const std::string_view line = raw.substr(0, lineEnd);
  const std::size_t firstSpace = line.find(' ');
  const std::size_t secondSpace = line.find(' ', firstSpace + 1);
  if (firstSpace == 0 || firstSpace == std::string_view::npos || secondSpace == std::string_view::npos ||
      secondSpace == firstSpace + 1 || line.find(' ', secondSpace + 1) != std::string_view::npos) {
    return false;
  }
  request.method = std::string(line.substr(0, firstSpace));
  request.target = std::string(line.substr(firstSpace + 1, secondSpace - firstSpace - 1));
  request.version = std::string(line.substr(secondSpace + 1));
  if (request.version.rfind("HTTP/", 0) != 0) {
    return false;
  }
  request.headers.clear();
  while (true) {
    const std::size_t start = lineEnd + 2;
    lineEnd = raw.find("\r\n", start);
    if (lineEnd == std::string_view::npos || lineEnd == start) {
      return true;  // the empty line that ends the block
    }
    const std::string_view header = raw.substr(start, lineEnd - start);
    const std::size_t colon = header.find(':');
    if (colon == 0 || colon == std::string_view::npos) {
      return false;
    }
    request.headers.push_back(
        {std::string(header.substr(0, colon)), std::string(TrimBlanks(header.substr(colon + 1)))});
  }
}

std::optional<std::size_t> DecodeChunked(std::string_view data, std::string& body) {
  body.clear();
  std::size_t position = 0;
  while (true) {
    const std::size_t lineEnd = data.find("\r\n", position);
    if (lineEnd == std::string_view::npos) {
      return 0;
    }
    std::string_view sizeText = data.substr(position, lineEnd - position);
    sizeText = TrimBlanks(sizeText.substr(0, sizeText.find(';')));
    std::size_t size = 0;
    const auto [end, error] = std::from_chars(sizeText.data(), sizeText.data() + sizeText.size(), size, 16);
    if (sizeText.empty() || error != std::errc() || end != sizeText.data() + sizeText.size() ||
        size > kMaxBodyBytes) {
      return std::nullopt;
    }
    position = lineEnd + 2;
    if (size == 0) {
      // Trailer lines up to an empty line.
      while (true) {
        const std::size_t trailerEnd = data.find("\r\n", position);
        if (trailerEnd == std::string_view::npos) {
          return 0;
        }
        const bool last = trailerEnd == position;
        position = trailerEnd + 2;
        if (last) {
          return position;
        }
      }
    }
    if (data.size() < position + size + 2) {
      return 0;
    }
    if (data.substr(position + size, 2) != "\r\n") {
      return std::nullopt;
    }
    body.append(data.substr(position, size));
    position += size + 2;
  }
}

RequestOutcome ReadRequest(ConnectionStream& stream, std::string& pending,
                           std::chrono::milliseconds idleTimeout, std::chrono::milliseconds requestTimeout) {
  RequestOutcome outcome;
  // The idle limit holds until the first byte of a request; then the whole request has its own.
  if (pending.empty()) {
    const ReadStatus first = stream.ReadSome(pending, kMaxHeadBytes, Clock::now() + idleTimeout);
    if (first != ReadStatus::kData) {
      outcome.status = RequestStatus::kIdle;
      return outcome;
    }
  }
  const Clock::time_point deadline = Clock::now() + requestTimeout;
  if (ReadUntil(stream, pending, deadline, kMaxHeadBytes,
                [&] { return pending.find(kHeadEnd) != std::string::npos; }) != ReadStatus::kData) {
    outcome.status = pending.size() > kMaxHeadBytes ? RequestStatus::kBad : RequestStatus::kDropped;
    return outcome;
  }
  const std::size_t headSize = pending.find(kHeadEnd) + kHeadEnd.size();
  RecordedRequest& request = outcome.request;
  if (!ParseRequestHead(std::string_view(pending).substr(0, headSize), request)) {
    outcome.status = RequestStatus::kBad;
    return outcome;
  }
  pending.erase(0, headSize);

  const std::optional<std::string> expect = request.FindHeader("Expect");
  if (expect && ContainsToken(*expect, "100-continue") && !stream.WriteAll(kContinue)) {
    outcome.status = RequestStatus::kDropped;
    return outcome;
  }
  const std::optional<std::string> transferEncoding = request.FindHeader("Transfer-Encoding");
  const std::optional<std::string> contentLength = request.FindHeader("Content-Length");
  if (transferEncoding && ContainsToken(*transferEncoding, "chunked")) {
    request.chunkedBody = true;
    std::optional<std::size_t> consumed;
    const ReadStatus status = ReadUntil(stream, pending, deadline, kMaxBodyBytes, [&] {
      consumed = DecodeChunked(pending, request.body);
      return !consumed || *consumed > 0;
    });
    if (status != ReadStatus::kData || !consumed) {
      outcome.status = consumed ? RequestStatus::kDropped : RequestStatus::kBad;
      return outcome;
    }
    pending.erase(0, *consumed);
  } else if (contentLength) {
    std::size_t length = 0;
    const std::string_view text = *contentLength;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), length);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || length > kMaxBodyBytes) {
      outcome.status = RequestStatus::kBad;
      return outcome;
    }
    if (ReadUntil(stream, pending, deadline, kMaxBodyBytes, [&] { return pending.size() >= length; }) !=
        ReadStatus::kData) {
      outcome.status = RequestStatus::kDropped;
      return outcome;
    }
    request.body = pending.substr(0, length);
    pending.erase(0, length);
  }
  request.tls = stream.IsTls();
  outcome.status = RequestStatus::kRequest;
  return outcome;
}

}  // namespace velbrook::test_support
