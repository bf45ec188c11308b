#include "tests/support/recorded_request.h"

#include <algorithm>
#include <cctype>

namespace velbrook::test_support {
namespace {

bool SameIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

// The target with any "scheme://authority" part removed.
std::string_view OriginForm(std::string_view target) {
  const std::size_t scheme = target.find("://");
  if (scheme == std::string_view::npos || target.substr(0, 1) == "/") {
    return target;
  }
  const std::size_t pathStart = target.find_first_of("/?", scheme + 3);
  return pathStart == std::string_view::npos ? std::string_view{} : target.substr(pathStart);
}

}  // namespace

std::string RecordedRequest::RequestLine() const {
  const std::size_t end = raw.find("\r\n");
  return end == std::string::npos ? raw : raw.substr(0, end);
}

std::string RecordedRequest::RawHeaderLines() const {
  const std::size_t start = raw.find("\r\n");
  if (start == std::string::npos) {
    return {};
  }
  std::string lines = raw.substr(start + 2);
  // Drops the empty line that ends the block.
  if (lines.size() >= 2 && lines.compare(lines.size() - 2, 2, "\r\n") == 0) {
    lines.resize(lines.size() - 2);
  }
  return lines;
}

std::string RecordedRequest::Path() const {
  if (method == "CONNECT") {
    return target;
  }
  std::string_view origin = OriginForm(target);
  origin = origin.substr(0, origin.find('?'));
  return origin.empty() ? std::string("/") : std::string(origin);
}

std::string RecordedRequest::Query() const {
  const std::string_view origin = OriginForm(target);
  const std::size_t mark = origin.find('?');
  return mark == std::string_view::npos ? std::string() : std::string(origin.substr(mark + 1));
}

std::optional<std::string> RecordedRequest::QueryParam(std::string_view name) const {
  const std::string query = Query();
  std::size_t start = 0;
  while (start <= query.size()) {
    std::size_t end = query.find('&', start);
    if (end == std::string::npos) {
      end = query.size();
    }
    const std::string_view item = std::string_view(query).substr(start, end - start);
    const std::size_t equals = item.find('=');
    if (item.substr(0, equals) == name) {
      return equals == std::string_view::npos ? std::string() : std::string(item.substr(equals + 1));
    }
    start = end + 1;
  }
  return std::nullopt;
}

std::optional<std::string> RecordedRequest::FindHeader(std::string_view name) const {
  for (const Header& header : headers) {
    if (SameIgnoringCase(header.name, name)) {
      return header.value;
    }
  }
  return std::nullopt;
}

std::size_t RecordedRequest::HeaderCount(std::string_view name) const {
  return static_cast<std::size_t>(std::count_if(headers.begin(), headers.end(), [&](const Header& header) {
    return SameIgnoringCase(header.name, name);
  }));
}

}  // namespace velbrook::test_support
