#include <gtest/gtest.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509_vfy.h>

#include "tests/support/closed_port.h"
#include "tests/support/raw_client.h"
#include "tests/support/test_server.h"

namespace velbrook::test_support {
namespace {

using std::chrono::milliseconds;

struct CtxDeleter {
  void operator()(SSL_CTX* c) const { SSL_CTX_free(c); }
};
struct SslDeleter {
  void operator()(SSL* s) const { SSL_free(s); }
};

// Handshakes with a verifying OpenSSL client over `fd` for `host`, trusting `caPath`, sends
// `request` and returns what comes back. `*verifyResult` receives the verification outcome.
std::string TlsExchange(int fd, const std::string& caPath, const char* host, const std::string& request,
                        long* verifyResult) {
  std::unique_ptr<SSL_CTX, CtxDeleter> context(SSL_CTX_new(TLS_client_method()));
  if (!context || SSL_CTX_load_verify_locations(context.get(), caPath.c_str(), nullptr) != 1) {
    return "no context";
  }
  SSL_CTX_set_verify(context.get(), SSL_VERIFY_PEER, nullptr);
  std::unique_ptr<SSL, SslDeleter> ssl(SSL_new(context.get()));
  X509_VERIFY_PARAM* param = SSL_get0_param(ssl.get());
  if (X509_VERIFY_PARAM_set1_ip_asc(param, host) != 1 && X509_VERIFY_PARAM_set1_host(param, host, 0) != 1) {
    return "no host";
  }
  if (SSL_set_fd(ssl.get(), fd) != 1) {
    return "no fd";
  }
  const int handshake = SSL_connect(ssl.get());
  *verifyResult = SSL_get_verify_result(ssl.get());
  if (handshake != 1) {
    ERR_clear_error();
    return "";
  }
  std::string answer;
  if (SSL_write(ssl.get(), request.data(), static_cast<int>(request.size())) > 0) {
    char buffer[4096];
    int got = 0;
    while ((got = SSL_read(ssl.get(), buffer, sizeof(buffer))) > 0) {
      answer.append(buffer, static_cast<std::size_t>(got));
    }
  }
  ERR_clear_error();
  return answer;
}

TEST(Tls, EachIdentityVerifiesOrFailsForItsOwnReason) {
  const auto certificates = TestCertificates::Shared();
  ASSERT_TRUE(certificates->Ok());
  struct Case {
    TlsIdentity identity;
    long verifyResult;
  };
  const Case cases[] = {
      {TlsIdentity::kTrusted, X509_V_OK},
      {TlsIdentity::kOtherHost, X509_V_ERR_IP_ADDRESS_MISMATCH},
      {TlsIdentity::kExpired, X509_V_ERR_CERT_HAS_EXPIRED},
      {TlsIdentity::kUnknownCa, X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY},
  };
  for (const Case& c : cases) {
    ServerOptions options;
    options.tls = true;
    options.identity = c.identity;
    TestServer server(options);
    ASSERT_TRUE(server.Started());
    EXPECT_EQ(server.Url("/x").substr(0, 8), "https://");
    server.Serve("/x", OkResponse("secret"));
    RawClient client(server.Port());
    // RawClient owns the socket; the TLS exchange only borrows its descriptor.
    long verify = -1;
    const std::string answer = TlsExchange(client.Fd(), certificates->CaPemPath(), "127.0.0.1",
                                           "GET /x HTTP/1.1\r\nConnection: close\r\n\r\n", &verify);
    EXPECT_EQ(verify, c.verifyResult) << static_cast<int>(c.identity);
    if (c.identity == TlsIdentity::kTrusted) {
      EXPECT_EQ(answer.substr(answer.size() - 6), "secret");
      ASSERT_TRUE(server.WaitForRequests(1, milliseconds(3000)));
      EXPECT_TRUE(server.LastRequest()->tls);
    } else {
      EXPECT_EQ(answer, "");
    }
  }
}

TEST(Proxy, ForwardsAbsoluteFormAndRecordsBothSides) {
  TestServer origin;
  ServerOptions options;
  options.proxy = true;
  TestServer proxy(options);
  ASSERT_TRUE(origin.Started() && proxy.Started());
  origin.Serve("/song", OkResponse("from origin"));

  RawClient client(proxy.Port());
  const std::string requestLine = "GET " + origin.Url("/song?id=1") + " HTTP/1.1\r\n";
  ASSERT_TRUE(
      client.Send(requestLine + "Host: " + origin.HostPort() + "\r\nProxy-Connection: Keep-Alive\r\n\r\n"));
  const std::string answer = client.Read();
  EXPECT_EQ(answer.substr(answer.size() - 11), "from origin");
  ASSERT_TRUE(proxy.WaitForRequests(1, milliseconds(3000)));
  EXPECT_EQ(proxy.LastRequest()->RequestLine() + "\r\n", requestLine);
  EXPECT_EQ(proxy.LastRequest()->Path(), "/song");
  ASSERT_TRUE(origin.WaitForRequests(1, milliseconds(3000)));
  EXPECT_EQ(origin.LastRequest()->RequestLine(), "GET /song?id=1 HTTP/1.1");
  EXPECT_EQ(origin.LastRequest()->FindHeader("Proxy-Connection"), std::nullopt);

  proxy.SetProxyHandler([](const RecordedRequest&) { return OkResponse("from proxy"); });
  RawClient scripted(proxy.Port());
  ASSERT_TRUE(scripted.Send(requestLine + "Connection: close\r\n\r\n"));
  const std::string own = scripted.Read();
  EXPECT_EQ(own.substr(own.size() - 10), "from proxy");
  EXPECT_EQ(origin.RequestCount(), 1u);
}

TEST(Proxy, ConnectTunnelsToTheTargetAndRefusesOtherHosts) {
  TestServer target;
  ServerOptions options;
  options.proxy = true;
  TestServer proxy(options);
  ASSERT_TRUE(target.Started() && proxy.Started());
  target.Serve("/t", OkResponse("tunnelled"));

  RawClient client(proxy.Port());
  ASSERT_TRUE(
      client.Send("CONNECT " + target.HostPort() + " HTTP/1.1\r\nHost: " + target.HostPort() + "\r\n\r\n"));
  EXPECT_EQ(client.ReadThrough("\r\n\r\n"), "HTTP/1.1 200 Connection established\r\n\r\n");
  ASSERT_TRUE(client.Send("GET /t HTTP/1.1\r\nConnection: close\r\n\r\n"));
  const std::string answer = client.Read();
  EXPECT_EQ(answer.substr(answer.size() - 9), "tunnelled");
  ASSERT_TRUE(proxy.WaitForRequests(1, milliseconds(3000)));
  EXPECT_EQ(proxy.LastRequest()->method, "CONNECT");
  EXPECT_EQ(proxy.LastRequest()->Path(), target.HostPort());
  EXPECT_EQ(target.LastRequest()->RequestLine(), "GET /t HTTP/1.1");

  RawClient outside(proxy.Port());
  ASSERT_TRUE(outside.Send("CONNECT example.com:443 HTTP/1.1\r\n\r\n"));
  EXPECT_EQ(outside.Read().substr(0, 12), "HTTP/1.1 502");
}

TEST(ClosedPort, RefusesConnections) {
  ClosedPort closed;
  ASSERT_TRUE(closed.Ok());
  RawClient client(closed.Port());
  EXPECT_FALSE(client.Connected());
  EXPECT_EQ(client.ConnectErrno(), ECONNREFUSED);
  EXPECT_EQ(closed.Url("/x"), "http://127.0.0.1:" + std::to_string(closed.Port()) + "/x");
}

}  // namespace
}  // namespace velbrook::test_support
