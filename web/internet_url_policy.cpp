#include "web/internet_url_policy.h"

#include <cstdlib>

namespace velbrook::inet::detail {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool NeedsEscape(unsigned char c) { return c <= 0x20 || c >= 0x7F; }

// A proxy list holds entries separated by blanks or ';': "scheme=HOST:PORT" serves URLs of that
// scheme, a bare "HOST:PORT" serves every URL; a scheme's own entry wins over a bare one.
std::string ProxyFromList(std::string_view list, std::string_view scheme) {
  std::string bare;
  std::size_t start = 0;
  while (start < list.size()) {
    const std::size_t end = list.find_first_of(" ;", start);
    const std::string_view entry = list.substr(start, end - start);
    start = end == std::string_view::npos ? list.size() : end + 1;
    if (entry.empty()) continue;
    const std::size_t equals = entry.find('=');
    if (equals == std::string_view::npos) {
      if (bare.empty()) bare = std::string(entry);
    } else if (SchemeOf(std::string(entry.substr(0, equals)) + "://") == scheme) {
      return std::string(entry.substr(equals + 1));
    }
  }
  return bare;
}

}  // namespace

std::string SchemeOf(std::string_view url) {
  const std::size_t end = url.find("://");
  if (end == std::string_view::npos || end == 0) return {};
  std::string scheme;
  for (char c : url.substr(0, end)) scheme.push_back(LowerAscii(c));
  return scheme;
}

std::optional<std::string> CheckedUrl(std::string_view url, std::initializer_list<std::string_view> allowed) {
  const std::string scheme = SchemeOf(url);
  bool known = false;
  for (std::string_view name : allowed) known = known || scheme == name;
  if (!known) return std::nullopt;
  const std::size_t authority = scheme.size() + 3;
  const std::size_t pathStart = std::min(url.find('/', authority), url.size());
  std::string checked(url.substr(0, pathStart));
  for (char c : checked) {
    if (NeedsEscape(static_cast<unsigned char>(c))) return std::nullopt;  // no such host
  }
  for (char c : url.substr(pathStart)) {
    const auto byte = static_cast<unsigned char>(c);
    if (NeedsEscape(byte)) {
      checked.push_back('%');
      checked.push_back(kHexDigits[byte >> 4]);
      checked.push_back(kHexDigits[byte & 0xF]);
    } else {
      checked.push_back(c);
    }
  }
  return checked;
}

void ChooseProxy(const Session& session, std::string_view scheme, TransferSetup* setup) {
  switch (session.accessType) {
    case kOpenTypeProxy: {
      setup->proxy = ProxyFromList(session.proxyList, scheme);
      setup->proxyMode = setup->proxy.empty() ? ProxyMode::kNone : ProxyMode::kGiven;
      return;
    }
    case kOpenTypePreconfig:
    case kOpenTypePreconfigNoAutoproxy:
      setup->proxyMode = ProxyMode::kEnvironment;
      return;
    default:
      setup->proxyMode = ProxyMode::kNone;
      return;
  }
}

bool EnvironmentNamesProxy() {
  // The variables that curl itself reads; it ignores upper-case HTTP_PROXY on purpose.
  for (const char* name : {"http_proxy", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && value[0] != '\0') return true;
  }
  return false;
}

}  // namespace velbrook::inet::detail
