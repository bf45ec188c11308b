#include "tests/support/proxy_relay.h"

#include <poll.h>

#include <algorithm>
#include <cctype>
#include <charconv>

namespace velbrook::test_support {
namespace {

constexpr std::chrono::milliseconds kConnectTimeout{2000};
constexpr int kPollStepMs = 50;
constexpr std::size_t kRelayBytes = 65536;
constexpr std::string_view kBadGateway =
    "HTTP/1.1 502 Bad Gateway\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
constexpr std::string_view kEstablished = "HTTP/1.1 200 Connection established\r\n\r\n";

bool IsHopByHop(const std::string& name) {
  std::string lower(name);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return lower == "connection" || lower == "proxy-connection" || lower == "keep-alive" ||
         lower == "transfer-encoding" || lower == "content-length" || lower == "proxy-authorization";
}

// The request as the origin server gets it: origin-form target, hop-by-hop lines replaced.
std::string OriginRequest(const RecordedRequest& request) {
  std::string head = request.method + " " + request.Path();
  const std::string query = request.Query();
  if (!query.empty()) {
    head += "?" + query;
  }
  head += " " + request.version + "\r\n";
  for (const Header& header : request.headers) {
    if (!IsHopByHop(header.name)) {
      head += header.name + ": " + header.value + "\r\n";
    }
  }
  if (!request.body.empty() || request.FindHeader("Content-Length")) {
    head += "Content-Length: " + std::to_string(request.body.size()) + "\r\n";
  }
  return head + "Connection: close\r\n\r\n" + request.body;
}

// The authority of an absolute-form "http://authority/..." target.
std::optional<std::string_view> HttpAuthority(std::string_view target) {
  constexpr std::string_view kScheme = "http://";
  if (target.size() <= kScheme.size() ||
      !std::equal(kScheme.begin(), kScheme.end(), target.begin(),
                  [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); })) {
    return std::nullopt;
  }
  const std::string_view rest = target.substr(kScheme.size());
  return rest.substr(0, rest.find_first_of("/?"));
}

// Moves what `from` has ready to `to`; false when `from` ended or a write failed.
bool Pump(ConnectionStream& from, ConnectionStream& to, bool* moved) {
  std::string data;
  const ReadStatus status = from.ReadSome(data, kRelayBytes, Clock::now());
  if (status == ReadStatus::kData) {
    *moved = true;
    return to.WriteAll(data);
  }
  return status == ReadStatus::kTimeout;
}

// Relays the target's bytes to the client, and the client's to the target when `bothWays`.
void Relay(ConnectionStream& client, ConnectionStream& target, bool bothWays, StopSignal& stop,
           std::chrono::milliseconds idleTimeout) {
  Clock::time_point idleDeadline = Clock::now() + idleTimeout;
  while (!stop.Stopping() && Clock::now() < idleDeadline) {
    pollfd entries[2] = {{target.Fd(), POLLIN, 0}, {client.Fd(), POLLIN, 0}};
    const bool clientBuffered = bothWays && client.HasBufferedInput();
    const int ready = clientBuffered ? 1 : ::poll(entries, bothWays ? 2 : 1, kPollStepMs);
    if (ready <= 0) {
      continue;
    }
    bool moved = false;
    if (entries[0].revents != 0 && !Pump(target, client, &moved)) {
      return;
    }
    if (bothWays && (clientBuffered || entries[1].revents != 0) && !Pump(client, target, &moved)) {
      return;
    }
    if (moved) {
      idleDeadline = Clock::now() + idleTimeout;
    }
  }
}

int ConnectTarget(std::optional<int> port) { return port ? ConnectLoopback(*port, kConnectTimeout) : -1; }

}  // namespace

std::optional<int> LoopbackPort(std::string_view authority, int defaultPort) {
  const std::size_t colon = authority.rfind(':');
  const std::string_view host = authority.substr(0, colon);
  if (host != "127.0.0.1" && host != "localhost") {
    return std::nullopt;
  }
  if (colon == std::string_view::npos) {
    return defaultPort;
  }
  const std::string_view portText = authority.substr(colon + 1);
  int port = 0;
  const auto [end, error] = std::from_chars(portText.data(), portText.data() + portText.size(), port);
  if (error != std::errc() || end != portText.data() + portText.size() || port <= 0 || port > 65535) {
    return std::nullopt;
  }
  return port;
}

void ForwardRequest(ConnectionStream& client, const RecordedRequest& request, StopSignal& stop,
                    std::chrono::milliseconds idleTimeout) {
  const std::optional<std::string_view> authority = HttpAuthority(request.target);
  const int fd = ConnectTarget(authority ? LoopbackPort(*authority, 80) : std::nullopt);
  if (fd < 0) {
    (void)client.WriteAll(kBadGateway);  // the connection closes either way
    return;
  }
  ConnectionStream target(fd, nullptr, stop);
  if (target.WriteAll(OriginRequest(request))) {
    Relay(client, target, false, stop, idleTimeout);
  }
}

void Tunnel(ConnectionStream& client, const RecordedRequest& request, const std::string& pending,
            StopSignal& stop, std::chrono::milliseconds idleTimeout) {
  const int fd = ConnectTarget(LoopbackPort(request.target, 443));
  if (fd < 0) {
    (void)client.WriteAll(kBadGateway);  // the connection closes either way
    return;
  }
  ConnectionStream target(fd, nullptr, stop);
  if (client.WriteAll(kEstablished) && target.WriteAll(pending)) {
    Relay(client, target, true, stop, idleTimeout);
  }
}

}  // namespace velbrook::test_support
