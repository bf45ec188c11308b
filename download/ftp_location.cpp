#include "download/ftp_location.h"

#include <algorithm>
#include <limits>

#include "base/text_routines.h"

namespace velbrook {
namespace {

constexpr char kFtpScheme[] = "ftp://";
constexpr char kDefaultPortText[] = "21";

// The port text as a number, clamped to the 32 bits that hold it.
std::int32_t PortNumber(const Text& portText) {
  const std::int64_t value = ReadInt64(portText);
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, std::numeric_limits<std::int32_t>::min(),
                                                            std::numeric_limits<std::int32_t>::max()));
}

}  // namespace

Text UrlFileName(const Text& url) {
  const std::size_t slash = url.rfind('/');
  return slash == Text::npos ? url : url.substr(slash + 1);
}

FtpLocation SplitFtpUrl(const Text& url) {
  const Text fileName = UrlFileName(url);
  Text rest =
      url.compare(0, sizeof kFtpScheme - 1, kFtpScheme) == 0 ? url.substr(sizeof kFtpScheme - 1) : url;
  rest.resize(rest.size() - std::min(rest.size(), fileName.size()));

  const std::size_t slash = std::min(rest.find('/'), rest.size());
  const Text server = rest.substr(0, slash);
  FtpLocation location;
  location.Directory = rest.substr(slash);
  const std::size_t firstColon = server.find(':');
  if (firstColon == Text::npos) {
    location.Host = server;
    location.Port = PortNumber(kDefaultPortText);
  } else {
    location.Host = server.substr(0, firstColon);
    location.Port = PortNumber(server.substr(server.rfind(':') + 1));
  }
  return location;
}

}  // namespace velbrook
