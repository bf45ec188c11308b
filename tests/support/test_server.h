#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/recorded_request.h"
#include "tests/support/response.h"
#include "tests/support/response_builders.h"
#include "tests/support/test_certificates.h"

namespace velbrook::test_support {

struct ServerOptions {
  // Speak HTTPS, presenting `identity` from `certificates` (TestCertificates::Shared() when null).
  bool tls = false;
  TlsIdentity identity = TlsIdentity::kTrusted;
  std::shared_ptr<const TestCertificates> certificates;

  // Also act as an HTTP proxy. An absolute-form request ("GET http://127.0.0.1:P/x HTTP/1.1") is
  // recorded, then answered by the proxy handler when one is set, else forwarded to its target,
  // whose answer is relayed back byte for byte. A CONNECT request is recorded, answered with
  // "HTTP/1.1 200 Connection established" and tunnelled to its target. Only 127.0.0.1 and localhost
  // targets are reached; any other gets 502. Origin-form requests go to the handlers as usual.
  bool proxy = false;

  // A keep-alive connection that brings no new request for this long is closed.
  std::chrono::milliseconds idleTimeout{10000};
  // A request whose head or body is not complete within this time is dropped unrecorded.
  std::chrono::milliseconds requestTimeout{10000};
};

// An in-process HTTP/1.1 server on 127.0.0.1 with an ephemeral port, for tests. It starts in the
// constructor and stops in the destructor, which ends every connection and waits for its threads.
// Each connection is served on a thread of its own; handlers therefore run on those threads and may
// be called concurrently. Connections are kept alive unless the request says "Connection: close"
// (or is HTTP/1.0 without keep-alive) or the response closes them.
//
// Routing: the request's Path() is looked up among the exact paths, then among the prefixes
// (the longest wins); otherwise the fallback answers (404 with kNotFoundHtml unless replaced).
// HEAD requests get the headers of the response without its body. A request that says
// "Expect: 100-continue" gets "HTTP/1.1 100 Continue" before its body is read.
class TestServer {
 public:
  using Handler = std::function<Response(const RecordedRequest&)>;

  explicit TestServer(ServerOptions options = {});
  ~TestServer();
  TestServer(const TestServer&) = delete;
  TestServer& operator=(const TestServer&) = delete;

  // Whether the server listens (and, for TLS, has loaded its certificate).
  bool Started() const;
  int Port() const;
  // "127.0.0.1:PORT".
  std::string HostPort() const;
  // "http://127.0.0.1:PORT" or "https://127.0.0.1:PORT".
  std::string Origin() const;
  // Origin() followed by `pathAndQuery` (which begins with '/').
  std::string Url(const std::string& pathAndQuery) const;

  // Registration may happen at any time, also while requests are served. A later registration for
  // the same path replaces the earlier one.
  void Handle(const std::string& path, Handler handler);
  void HandlePrefix(const std::string& prefix, Handler handler);
  // The same fixed response to every request for `path`.
  void Serve(const std::string& path, Response response);
  // `path` redirects to `location` with `status`.
  void AddRedirect(const std::string& path, const std::string& location, int status = 302);
  void SetFallback(Handler handler);
  // Proxy mode: answers absolute-form requests itself instead of forwarding them.
  void SetProxyHandler(Handler handler);

  // Every request received so far (head and body complete), in the order they arrived. A request is
  // recorded before its handler runs.
  std::vector<RecordedRequest> Requests() const;
  std::optional<RecordedRequest> LastRequest() const;
  std::size_t RequestCount() const;
  // Waits until at least `count` requests have been recorded; false on timeout.
  bool WaitForRequests(std::size_t count, std::chrono::milliseconds timeout) const;
  void ClearRequests();

  // Connections accepted so far, and those still open.
  std::size_t ConnectionCount() const;
  std::size_t OpenConnectionCount() const;

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace velbrook::test_support
