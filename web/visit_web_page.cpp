#include "web/visit_web_page.h"

#include <algorithm>
#include <cstdint>
#include <optional>

#include "base/text_routines.h"
#include "web/cookie_merge.h"
#include "web/internet.h"
#include "web/returned_cookies.h"
#include "web/url_parts.h"

namespace velbrook {
namespace {

constexpr char kDefaultAgent[] = "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";
constexpr char kHttpVersion[] = "HTTP/1.1";
constexpr char kLineBreak[] = "\r\n";
constexpr char kHttpProxyPrefix[] = "http=";
constexpr std::uint32_t kReadChunkBytes = 1024;
constexpr std::uint32_t kRawHeadersBytes = 5000;
// The most that an announced length makes a body reserve ahead of its bytes.
constexpr std::uint64_t kMaxReservedBodyBytes = 256 * 1024 * 1024;

// Closes the handle it holds when it goes out of scope. Declared in the order of opening, a
// request, its connection and its session close in the reverse order.
class ScopedHandle {
 public:
  explicit ScopedHandle(inet::Handle handle) : handle_(handle) {}
  ~ScopedHandle() {
    // Closing cannot fail in a way this request could still act on.
    if (handle_ != 0) (void)inet::CloseHandle(handle_);
  }
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;
  inet::Handle get() const { return handle_; }

 private:
  inet::Handle handle_;
};

const char* VerbFor(int method) {
  switch (method) {
    case kMethodPost:
      return "POST";
    case kMethodHead:
      return "HEAD";
    default:
      return "GET";
  }
}

bool IsSecure(const Text& url) { return LowerAscii(LeftChars(url, 5)) == "https"; }

// The agent comes from a User-Agent line of the caller's headers when there is one. The fallback
// takes everything after the block's first colon, which may span several lines; the agent stops at
// the first line break so that it can never add header lines of its own to a request.
Text UserAgentFor(const Text& headers) {
  if (FindText(headers, "User-Agent:", 1, true) == 0) return kDefaultAgent;
  Text agent = TrimSpaces(TextBetween(headers, "User-Agent:", kLineBreak));
  if (agent.empty()) agent = HeaderValue(headers);
  return TrimSpaces(agent.substr(0, agent.find_first_of("\r\n")));
}

std::uint32_t RequestFlags(bool cookiesSupplied, bool noRedirect, bool secure) {
  std::uint32_t flags = inet::kFlagReload | inet::kFlagNeedFile;
  if (cookiesSupplied) flags |= inet::kFlagNoCookies;
  if (noRedirect) flags |= inet::kFlagNoAutoRedirect;
  flags |= secure ? inet::kFlagSecure : inet::kFlagIgnoreRedirectToHttps;
  return flags;
}

// Presence tests are case-sensitive and match anywhere, so a longer header name that ends in one of
// these names also counts.
Text HeaderBlock(Text headers, const Text& url, const Text& cookies) {
  if (headers.empty()) {
    headers = "Accept: */*";
  } else if (FindText(headers, "Accept:") == 0) {
    headers += "\r\nAccept: */*";
  }
  if (FindText(headers, "Referer:") == 0) headers += "\r\nReferer: " + url;
  if (FindText(headers, "Accept-Language:") == 0) headers += "\r\nAccept-Language: zh-cn";
  if (FindText(headers, "Content-Type:") == 0) {
    headers += "\r\nContent-Type: application/x-www-form-urlencoded";
  }
  if (!cookies.empty()) headers += "\r\nCookie: " + cookies;
  return headers;
}

// Reads until a read gives nothing, which is both the end of the data and a failed read. The body
// is sized once from the announced length: growing a large page by doubling touches and copies about
// twice its size in fresh memory. A length that overstates the body only reserves address space.
Bytes ReadBody(inet::Handle request) {
  Bytes body;
  if (const std::optional<std::uint64_t> announced = inet::HttpAnnouncedLength(request)) {
    body.reserve(static_cast<std::size_t>(std::min(*announced, kMaxReservedBodyBytes)));
  }
  std::uint8_t chunk[kReadChunkBytes];
  for (;;) {
    std::uint32_t count = 0;
    bool ok = inet::ReadFile(request, chunk, kReadChunkBytes, &count);
    count = std::min(count, kReadChunkBytes);
    body.insert(body.end(), chunk, chunk + count);
    if (!ok || count == 0) return body;
  }
}

// The raw headers in one spelling of "Set-Cookie"; 5000 spaces when the query fails or they do not
// fit into that many bytes.
Text RawResponseHeaders(inet::Handle request) {
  Text buffer(kRawHeadersBytes, ' ');
  std::uint32_t length = kRawHeadersBytes;
  if (!inet::HttpQueryRawHeaders(request, buffer.data(), &length)) return Text(kRawHeadersBytes, ' ');
  return ReplaceAll(TextUpToZero(buffer), "Set-Cookie", "Set-Cookie", true);
}

struct Exchange {
  bool opened = false;
  Bytes body;
  Text rawHeaders;
};

// Opens the session, the connection and the request, sends, reads, and closes all three again.
// The caller's headers and body bytes change only once the request is open.
Exchange Transfer(const Text& url, const VisitOptions& options, Text& headers, Bytes& postBytes) {
  const int method = options.method.value_or(kMethodGet);
  const bool secure = IsSecure(url);
  const Text proxy = options.proxy.value_or(Text());

  ScopedHandle session(proxy.empty() ? inet::Open(UserAgentFor(headers), inet::kOpenTypeDirect, "", "", 0)
                                     : inet::Open(UserAgentFor(headers), inet::kOpenTypeProxy,
                                                  secure ? proxy : kHttpProxyPrefix + proxy, "", 0));
  if (session.get() == 0) return {};
  ScopedHandle connection(
      inet::Connect(session.get(), UrlHost(url), UrlPort(url), "", "", inet::kServiceHttp, 0));
  if (connection.get() == 0) return {};
  const std::uint32_t flags =
      RequestFlags(options.cookies != nullptr, options.noRedirect.value_or(false), secure);
  ScopedHandle request(
      inet::HttpOpenRequest(connection.get(), VerbFor(method), UrlPath(url), kHttpVersion, flags));
  if (request.get() == 0) return {};

  headers = HeaderBlock(headers, url, options.cookies ? *options.cookies : Text());
  Bytes noBody;
  const Bytes* body = &noBody;
  if (method == kMethodPost || method == kMethodHead) {
    if (postBytes.empty()) postBytes = TextToBytes(options.postText.value_or(Text()));
    body = &postBytes;
  }
  // A failed send needs no check of its own: the reads then give nothing and the header query fails.
  (void)inet::HttpSendRequest(request.get(), headers.data(), headers.size(), body->data(), body->size());

  Exchange exchange;
  exchange.opened = true;
  exchange.body = ReadBody(request.get());
  exchange.rawHeaders = RawResponseHeaders(request.get());
  return exchange;
}

}  // namespace

Bytes VisitWebPage(const Text& url, const VisitOptions& options) {
  Text headers = options.extraHeaders ? *options.extraHeaders : Text();
  Bytes postBytes = options.postBytes ? *options.postBytes : Bytes();
  Exchange exchange = Transfer(url, options, headers, postBytes);
  if (!exchange.opened) return {};

  if (options.extraHeaders) *options.extraHeaders = headers;
  if (options.postBytes) *options.postBytes = postBytes;
  // The program's own calls pass the URL alone: their cookies are not looked for.
  if (options.cookies || options.returnedCookies) {
    Text returnedCookies = ExtractReturnedCookies(exchange.rawHeaders);
    if (options.cookies) (void)MergeCookies(*options.cookies, returnedCookies);
    if (options.returnedCookies) *options.returnedCookies = std::move(returnedCookies);
  }
  if (options.returnedHeaders) *options.returnedHeaders = std::move(exchange.rawHeaders);
  return std::move(exchange.body);
}

}  // namespace velbrook
