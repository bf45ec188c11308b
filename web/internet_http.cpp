#include <cstring>
#include <string>

#include "web/internet.h"
#include "web/internet_curl_handles.h"
#include "web/internet_easy_setup.h"
#include "web/internet_handle_table.h"
#include "web/internet_url_policy.h"

namespace velbrook::inet {
namespace {

using detail::Connection;
using detail::Request;
using detail::Session;

constexpr int kDefaultHttpPort = 80;
constexpr int kDefaultHttpsPort = 443;

// "scheme://host:port" for a connection; a host with ':' is an IPv6 literal and gets brackets.
std::string Origin(const Connection& connection, bool secure) {
  const int port = connection.port > 0 ? connection.port : (secure ? kDefaultHttpsPort : kDefaultHttpPort);
  const bool ipv6 = connection.host.find(':') != std::string::npos;
  return std::string(secure ? "https://" : "http://") + (ipv6 ? "[" : "") + connection.host +
         (ipv6 ? "]" : "") + ":" + std::to_string(port);
}

Request* StartedRequest(Handle handle) {
  Request* request = detail::Find<Request>(handle);
  return (request != nullptr && request->transfer && request->transfer->Started()) ? request : nullptr;
}

// Fills the parts of a request's setup that come from the session and the request flags.
void ApplySessionAndFlags(const Session& session, std::uint32_t flags, detail::TransferSetup* setup) {
  setup->agent = session.agent;
  setup->followRedirects = (flags & kFlagNoAutoRedirect) == 0;
  setup->decodeContent = (flags & kFlagDecodeContent) != 0;
  if ((flags & kFlagNoCookies) == 0) setup->cookies = session.cookies;
  detail::ChooseProxy(session, detail::SchemeOf(setup->url), setup);
}

}  // namespace

namespace detail {

bool EnsureCurlInitialised() {
  static const bool initialised = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
  return initialised;
}

}  // namespace detail

bool GetConnectedState(std::uint32_t* flags) {
  if (flags == nullptr) return false;
  *flags = detail::EnvironmentNamesProxy() ? kConnectionProxy : 0;
  return true;
}

Handle Open(const Text& agent, std::uint32_t accessType, const Text& proxy, const Text& proxyBypass,
            std::uint32_t flags) {
  (void)proxyBypass;  // the callers always pass an empty bypass list
  (void)flags;        // no session flag changes anything here
  if (accessType != kOpenTypePreconfig && accessType != kOpenTypeDirect && accessType != kOpenTypeProxy &&
      accessType != kOpenTypePreconfigNoAutoproxy) {
    return 0;
  }
  auto session = std::make_unique<Session>();
  session->agent = agent;
  session->accessType = accessType;
  session->proxyList = proxy;
  session->cookies = detail::CookieStore::Create();
  if (!session->cookies) return 0;
  return detail::InsertHandle(0, std::move(session));
}

Handle Connect(Handle session, const Text& host, int port, const Text& user, const Text& password,
               std::uint32_t service, std::uint32_t flags) {
  (void)flags;  // no connection flag changes anything here
  if (detail::Find<Session>(session) == nullptr || host.empty()) return 0;
  if (service != kServiceHttp && service != kServiceFtp) return 0;
  auto connection = std::make_unique<Connection>();
  connection->session = session;
  connection->host = host;
  connection->port = port;
  connection->user = user;
  connection->password = password;
  connection->service = service;
  if (service == kServiceFtp && !detail::FtpLogInWorks(*connection)) return 0;
  return detail::InsertHandle(session, std::move(connection));
}

Handle HttpOpenRequest(Handle connection, const Text& verb, const Text& objectName, const Text& version,
                       std::uint32_t flags) {
  const Connection* owner = detail::Find<Connection>(connection);
  if (owner == nullptr || owner->service != kServiceHttp) return 0;
  const Session* session = detail::Find<Session>(owner->session);
  if (session == nullptr) return 0;
  const std::string path = objectName.empty() ? "/" : (objectName[0] == '/' ? "" : "/") + objectName;
  const std::optional<std::string> url =
      detail::CheckedUrl(Origin(*owner, (flags & kFlagSecure) != 0) + path, {"http", "https"});
  if (!url) return 0;
  auto request = std::make_unique<Request>();
  request->session = owner->session;
  request->setup.url = *url;
  request->setup.verb = verb.empty() ? "GET" : verb;
  request->setup.http10 = version == "HTTP/1.0";
  ApplySessionAndFlags(*session, flags, &request->setup);
  return detail::InsertHandle(connection, std::move(request));
}

bool HttpSendRequest(Handle request, const char* headers, std::size_t headersLength, const void* body,
                     std::size_t bodyLength) {
  Request* target = detail::Find<Request>(request);
  if (target == nullptr || target->setup.ftp) return false;
  target->setup.headerBlock = headers == nullptr ? std::string() : std::string(headers, headersLength);
  target->setup.body =
      body == nullptr ? std::string() : std::string(static_cast<const char*>(body), bodyLength);
  target->transfer = detail::Transfer::Create(target->setup);
  return target->transfer && target->transfer->Start();
}

Handle OpenUrl(Handle session, const Text& url, const char* headers, std::size_t headersLength,
               std::uint32_t flags) {
  const Session* owner = detail::Find<Session>(session);
  const std::optional<std::string> checked = detail::CheckedUrl(url, {"http", "https"});
  if (owner == nullptr || !checked) return 0;
  auto request = std::make_unique<Request>();
  request->session = session;
  request->setup.url = *checked;
  request->setup.verb = "GET";
  request->setup.headerBlock = headers == nullptr ? std::string() : std::string(headers, headersLength);
  ApplySessionAndFlags(*owner, flags, &request->setup);
  request->transfer = detail::Transfer::Create(request->setup);
  if (!request->transfer || !request->transfer->Start()) return 0;
  return detail::InsertHandle(session, std::move(request));
}

bool HttpQueryRawHeaders(Handle request, char* buffer, std::uint32_t* bufferLength) {
  const Request* target = StartedRequest(request);
  if (target == nullptr || bufferLength == nullptr) return false;
  const std::string& headers = target->transfer->RawHeaders();
  if (headers.empty()) return false;
  const std::size_t needed = headers.size() + 1;  // with the terminating zero
  if (buffer == nullptr || *bufferLength < needed) {
    *bufferLength = static_cast<std::uint32_t>(needed);
    return false;
  }
  std::memcpy(buffer, headers.c_str(), needed);
  *bufferLength = static_cast<std::uint32_t>(headers.size());
  return true;
}

bool HttpQueryContentLength(Handle request, std::uint32_t* length) {
  const std::optional<std::uint64_t> announced = HttpAnnouncedLength(request);
  if (!announced || *announced > UINT32_MAX || length == nullptr) return false;
  *length = static_cast<std::uint32_t>(*announced);
  return true;
}

std::optional<std::uint64_t> HttpAnnouncedLength(Handle request) {
  const Request* target = StartedRequest(request);
  return target == nullptr ? std::nullopt : target->transfer->AnnouncedLength();
}

int HttpStatusCode(Handle request) {
  const Request* target = StartedRequest(request);
  return target == nullptr ? 0 : target->transfer->StatusCode();
}

bool ReadFile(Handle handle, void* buffer, std::uint32_t size, std::uint32_t* bytesRead) {
  if (bytesRead == nullptr) return false;
  *bytesRead = 0;
  Request* target = detail::Find<Request>(handle);
  if (target == nullptr || buffer == nullptr) return false;
  if (!target->transfer && target->setup.ftp) target->transfer = detail::Transfer::Create(target->setup);
  return target->transfer && target->transfer->Read(buffer, size, bytesRead);
}

bool CloseHandle(Handle handle) { return detail::CloseHandleTree(handle); }

std::size_t OpenHandleCount() { return detail::HandleCount(); }

std::size_t PeakBufferedBytesForTesting(Handle handle) {
  const Request* target = detail::Find<Request>(handle);
  return (target == nullptr || !target->transfer) ? 0 : target->transfer->PeakBufferedBytes();
}

}  // namespace velbrook::inet
