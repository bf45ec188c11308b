#include "web/internet_easy_setup.h"

#include <algorithm>
#include <string>

#include "web/internet.h"
#include "web/internet_settings.h"

namespace velbrook::inet::detail {
namespace {

constexpr long kMillisecondsPerSecond = 1000;
// What curl receives from the socket at once: the size that the curl command line tool uses.
constexpr long kReceiveBufferBytes = 100 * 1024;

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
           return lower(x) == lower(y);
         });
}

template <typename Visit>
void ForEachLine(std::string_view block, Visit visit) {
  while (!block.empty()) {
    const std::size_t end = block.find("\r\n");
    visit(block.substr(0, end));
    if (end == std::string_view::npos) break;
    block.remove_prefix(end + 2);
  }
}

// The caller's lines go out as given. Curl would add Accept, Expect, Content-Type and
// Accept-Encoding lines of its own; an empty "Name:" entry suppresses each one the caller lacks.
SlistPtr BuildHeaderList(const TransferSetup& setup, bool* ok) {
  SlistPtr list;
  auto append = [&](const std::string& line) {
    curl_slist* grown = curl_slist_append(list.get(), line.c_str());
    if (grown == nullptr) {
      *ok = false;
      return;
    }
    (void)list.release();  // `grown` now owns the old nodes
    list.reset(grown);
  };
  ForEachLine(setup.headerBlock, [&](std::string_view line) {
    if (!line.empty()) append(std::string(line));
  });
  for (const char* name : {"Accept", "Expect", "Content-Type", "Accept-Encoding"}) {
    if (!BlockHasHeader(setup.headerBlock, name)) append(std::string(name) + ":");
  }
  return list;
}

bool ConfigureHttpMethod(CURL* easy, const TransferSetup& setup) {
  bool ok = true;
  auto set = [&](CURLcode code) { ok = ok && code == CURLE_OK; };
  const auto bodySize = static_cast<curl_off_t>(setup.body.size());
  if (setup.verb == "GET" && setup.body.empty()) {
    set(curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L));
  } else if (setup.verb == "HEAD" && setup.body.empty()) {
    set(curl_easy_setopt(easy, CURLOPT_NOBODY, 1L));
  } else {
    // Curl drops the body of a HEAD it knows as such, so a HEAD with a body goes out as a custom
    // verb; the transfer then ends its response after the headers itself (TransferSetup::HeadOnly).
    set(curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, bodySize));
    set(curl_easy_setopt(easy, CURLOPT_COPYPOSTFIELDS, setup.body.c_str()));
    if (setup.verb != "POST") set(curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, setup.verb.c_str()));
  }
  return ok;
}

bool ConfigureProxy(CURL* easy, const TransferSetup& setup) {
  switch (setup.proxyMode) {
    case ProxyMode::kNone:
      // An empty proxy also overrides the proxy environment variables.
      return curl_easy_setopt(easy, CURLOPT_PROXY, "") == CURLE_OK;
    case ProxyMode::kEnvironment:
      return true;
    case ProxyMode::kGiven:
      // An empty no-proxy list keeps a no_proxy variable from bypassing the given proxy.
      return curl_easy_setopt(easy, CURLOPT_PROXY, setup.proxy.c_str()) == CURLE_OK &&
             curl_easy_setopt(easy, CURLOPT_NOPROXY, "") == CURLE_OK;
  }
  return false;
}

bool ConfigureHttp(CURL* easy, const TransferSetup& setup, SlistPtr* headers) {
  bool ok = true;
  auto set = [&](CURLcode code) { ok = ok && code == CURLE_OK; };
  // Strict scheme allow-list: a redirect can never reach a local file or another protocol.
  set(curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https"));
  set(curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https"));
  set(curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, setup.followRedirects ? 1L : 0L));
  set(curl_easy_setopt(easy, CURLOPT_MAXREDIRS, static_cast<long>(kMaxRedirects)));
  set(curl_easy_setopt(easy, CURLOPT_HTTP_VERSION,
                       setup.http10 ? CURL_HTTP_VERSION_1_0 : CURL_HTTP_VERSION_1_1));
  set(curl_easy_setopt(easy, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L));
  if (!setup.agent.empty()) set(curl_easy_setopt(easy, CURLOPT_USERAGENT, setup.agent.c_str()));
  // Decoding is on only when asked for; curl then sends no Accept-Encoding line of its own because
  // the header list always names one (the caller's, or an empty suppressing entry).
  if (setup.decodeContent) set(curl_easy_setopt(easy, CURLOPT_ACCEPT_ENCODING, "gzip, deflate"));
  set(curl_easy_setopt(easy, CURLOPT_HTTP_CONTENT_DECODING, setup.decodeContent ? 1L : 0L));
  if (setup.cookies) {
    set(curl_easy_setopt(easy, CURLOPT_SHARE, setup.cookies->NativeShare()));
    set(curl_easy_setopt(easy, CURLOPT_COOKIEFILE, ""));  // turns the cookie engine on
  }
  if (!ok || !ConfigureHttpMethod(easy, setup)) return false;
  bool listOk = true;
  *headers = BuildHeaderList(setup, &listOk);
  return listOk && curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers->get()) == CURLE_OK;
}

bool ConfigureFtp(CURL* easy, const TransferSetup& setup) {
  bool ok = true;
  auto set = [&](CURLcode code) { ok = ok && code == CURLE_OK; };
  set(curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "ftp"));
  set(curl_easy_setopt(easy, CURLOPT_USERNAME, setup.user.c_str()));
  set(curl_easy_setopt(easy, CURLOPT_PASSWORD, setup.password.c_str()));
  set(curl_easy_setopt(easy, CURLOPT_TRANSFERTEXT, 0L));
  // The callers never ask for passive mode, so data connections are active: the server connects
  // back to the address that the control connection uses on this side.
  set(curl_easy_setopt(easy, CURLOPT_FTPPORT, "-"));
  set(curl_easy_setopt(easy, CURLOPT_ACCEPTTIMEOUT_MS, CurrentTimeouts().connectMs));
  // A server reply, the one to QUIT when a handle closes included, is waited for no longer than
  // the stall limit.
  set(curl_easy_setopt(easy, CURLOPT_SERVER_RESPONSE_TIMEOUT,
                       std::max(1L, CurrentTimeouts().stallMs / kMillisecondsPerSecond)));
  if (setup.ftpNoBody) {
    set(curl_easy_setopt(easy, CURLOPT_NOBODY, 1L));
    set(curl_easy_setopt(easy, CURLOPT_FILETIME, 1L));  // makes curl ask for the size as well
  }
  if (setup.resumeFrom > 0) {
    set(curl_easy_setopt(easy, CURLOPT_RESUME_FROM_LARGE, static_cast<curl_off_t>(setup.resumeFrom)));
  }
  return ok;
}

}  // namespace

bool BlockHasHeader(std::string_view block, std::string_view name) {
  bool found = false;
  ForEachLine(block, [&](std::string_view line) {
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) return;
    std::string_view lineName = line.substr(0, colon);
    while (!lineName.empty() && (lineName.back() == ' ' || lineName.back() == '\t')) {
      lineName.remove_suffix(1);
    }
    if (EqualsNoCase(lineName, name)) found = true;
  });
  return found;
}

bool ConfigureEasy(CURL* easy, const TransferSetup& setup, SlistPtr* headers) {
  const Timeouts& timeouts = CurrentTimeouts();
  bool ok = true;
  auto set = [&](CURLcode code) { ok = ok && code == CURLE_OK; };
  set(curl_easy_setopt(easy, CURLOPT_URL, setup.url.c_str()));
  set(curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L));
  // Nothing outlives a transfer: its connection closes when it ends, and no name it resolved is
  // remembered, though the multi handle that drove it serves the next one.
  set(curl_easy_setopt(easy, CURLOPT_FORBID_REUSE, 1L));
  set(curl_easy_setopt(easy, CURLOPT_DNS_CACHE_TIMEOUT, 0L));
  set(curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, timeouts.connectMs));
  // curl's default of 16 KiB per receive costs a wake-up and a socket read every 16 KiB; a large
  // download spends most of its time there.
  set(curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, kReceiveBufferBytes));
  // The extra CA file replaces curl's bundle file only; the system's CA directory stays trusted.
  if (!ExtraCaFile().empty()) set(curl_easy_setopt(easy, CURLOPT_CAINFO, ExtraCaFile().c_str()));
  if (!ok || !ConfigureProxy(easy, setup)) return false;
  return setup.ftp ? ConfigureFtp(easy, setup) : ConfigureHttp(easy, setup, headers);
}

}  // namespace velbrook::inet::detail
