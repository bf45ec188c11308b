#include "web/visit_web_page.h"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <thread>

#include "base/text_routines.h"
#include "tests/support/closed_port.h"
#include "tests/support/test_server.h"
#include "web/internet.h"

namespace velbrook {
namespace {

using test_support::ClosedPort;
using test_support::RecordedRequest;
using test_support::Response;
using test_support::ServerOptions;
using test_support::TestCertificates;
using test_support::TestServer;

constexpr char kDefaultAgent[] = "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";
constexpr std::size_t kRawHeadersBytes = 5000;

std::string AsString(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

// The default lines that follow Accept when the caller gives none of them, separated by CRLF.
std::string DefaultLines(const std::string& url) {
  return "Referer: " + url + "\r\nAccept-Language: zh-cn\r\nContent-Type: application/x-www-form-urlencoded";
}

// The header lines of a request without those the Internet layer adds by itself.
std::string LinesWithoutLayerOwn(const RecordedRequest& request) {
  std::string kept;
  for (const Text& line : SplitText(request.RawHeaderLines(), "\r\n")) {
    if (line.rfind("Host:", 0) == 0 || line.rfind("User-Agent:", 0) == 0) continue;
    if (!kept.empty()) kept += "\r\n";
    kept += line;
  }
  return kept;
}

ServerOptions TlsOptions() {
  ServerOptions options;
  options.tls = true;
  return options;
}

ServerOptions ProxyOptions() {
  ServerOptions options;
  options.proxy = true;
  return options;
}

class VisitWebPageTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // Failures here are refused connections; short timeouts only bound a broken run.
    inet::SetTimeoutsForTesting({5000, 5000});
  }

  static TestServer& Server() {
    static TestServer server;
    return server;
  }

  static TestServer& TlsServer() {
    static TestServer server(TlsOptions());
    return server;
  }

  static TestServer& ProxyServer() {
    static TestServer server(ProxyOptions());
    return server;
  }

  void SetUp() override {
    ASSERT_TRUE(Server().Started());
    Server().ClearRequests();
  }

  void TearDown() override {
    inet::SetExtraCaFileForTesting("");
    EXPECT_EQ(inet::OpenHandleCount(), 0u) << "a request left a handle open";
  }

  static RecordedRequest LastRequest(const TestServer& server) {
    std::optional<RecordedRequest> request = server.LastRequest();
    return request ? *request : RecordedRequest{};
  }
};

TEST_F(VisitWebPageTest, UrlAloneSendsTheDefaultHeaderBlock) {
  Server().Serve("/default", test_support::OkResponse("page body"));
  const Text url = Server().Url("/default?x=1");

  EXPECT_EQ(AsString(VisitWebPage(url)), "page body");

  const RecordedRequest request = LastRequest(Server());
  EXPECT_EQ(request.RequestLine(), "GET /default?x=1 HTTP/1.1");
  EXPECT_EQ(LinesWithoutLayerOwn(request), "Accept: */*\r\n" + DefaultLines(url)) << request.raw;
  EXPECT_EQ(request.FindHeader("User-Agent"), kDefaultAgent);
  EXPECT_EQ(request.HeaderCount("Cookie"), 0u);
  EXPECT_EQ(request.body, "");
}

TEST_F(VisitWebPageTest, HeaderBlockKeepsCallerLinesAndAddsWhatIsMissing) {
  Server().Serve("/headers", test_support::OkResponse("ok"));
  const Text url = Server().Url("/headers");
  struct Case {
    const char* extraHeaders;
    std::optional<Text> cookies;
    Text block;
  };
  const Case cases[] = {
      {"", std::nullopt, "Accept: */*\r\n" + DefaultLines(url)},
      {"Referer: http://r.example/", std::nullopt,
       "Referer: http://r.example/\r\nAccept: */*\r\nAccept-Language: zh-cn\r\n"
       "Content-Type: application/x-www-form-urlencoded"},
      // Presence tests are case-sensitive, and a longer name ending in the wanted one counts.
      {"accept: text/html", std::nullopt, "accept: text/html\r\nAccept: */*\r\n" + DefaultLines(url)},
      {"X-Accept: 1", std::nullopt, "X-Accept: 1\r\n" + DefaultLines(url)},
      {"Accept: a/b\r\nReferer: r\r\nAccept-Language: de\r\nContent-Type: text/plain", std::nullopt,
       "Accept: a/b\r\nReferer: r\r\nAccept-Language: de\r\nContent-Type: text/plain"},
      {"", Text("a=0; c=3"), "Accept: */*\r\n" + DefaultLines(url) + "\r\nCookie: a=0; c=3"},
      {"", Text(""), "Accept: */*\r\n" + DefaultLines(url)},
      // A cookie line of the caller's own stays beside the one made from `cookies`.
      {"Cookie: z=9", Text("a=0"), "Cookie: z=9\r\nAccept: */*\r\n" + DefaultLines(url) + "\r\nCookie: a=0"},
  };
  for (const Case& c : cases) {
    Text headers = c.extraHeaders;
    Text cookies = c.cookies.value_or(Text());
    VisitOptions options{.extraHeaders = &headers};
    if (c.cookies) options.cookies = &cookies;
    EXPECT_EQ(AsString(VisitWebPage(url, options)), "ok");
    EXPECT_EQ(headers, c.block) << c.extraHeaders;
    EXPECT_EQ(LinesWithoutLayerOwn(LastRequest(Server())), c.block) << c.extraHeaders;
  }
}

TEST_F(VisitWebPageTest, UserAgentComesFromTheCallersHeaders) {
  Server().Serve("/agent", test_support::OkResponse("ok"));
  const Text url = Server().Url("/agent");
  // A caller's own User-Agent line takes the agent's place on the wire; "X-User-Agent" lines, which
  // the agent search finds as well, leave the agent the session chose visible.
  const std::pair<const char*, const char*> cases[] = {
      {"", kDefaultAgent},
      {"User-Agent: Foo/1.0", "Foo/1.0"},
      {"X-User-Agent:  Bar/2 \r\nX-B: 1", "Bar/2"},
      {"X-User-Agent: Last/3", "Last/3"},
      {"x-user-agent: low/4", "low/4"},
      // The fallback takes the value after the block's first colon, but never past a line break.
      {"X-First: one\r\nX-User-Agent: Two", "one"},
  };
  for (const auto& [extraHeaders, agent] : cases) {
    Text headers = extraHeaders;
    EXPECT_EQ(AsString(VisitWebPage(url, {.extraHeaders = &headers})), "ok");
    const RecordedRequest request = LastRequest(Server());
    EXPECT_EQ(request.HeaderCount("User-Agent"), 1u) << request.raw;
    EXPECT_EQ(request.FindHeader("User-Agent"), agent) << extraHeaders;
    // An agent spanning lines would smuggle in a second copy of the caller's line.
    EXPECT_LE(request.HeaderCount("X-User-Agent"), 1u) << request.raw;
  }
}

TEST_F(VisitWebPageTest, MethodDecidesVerbAndBody) {
  Server().Serve("/method", test_support::OkResponse("answer"));
  struct Case {
    std::optional<int> method;
    const char* verb;
    const char* sentBody;
    const char* returnedBody;
  };
  const Case cases[] = {
      {std::nullopt, "GET", "", "answer"},
      {kMethodGet, "GET", "", "answer"},
      {kMethodPost, "POST", "a=1", "answer"},
      {kMethodHead, "HEAD", "a=1", ""},
      {5, "GET", "", "answer"},
      {-1, "GET", "", "answer"},
  };
  for (const Case& c : cases) {
    Bytes postBytes;
    EXPECT_EQ(AsString(VisitWebPage(Server().Url("/method"),
                                    {.method = c.method, .postText = "a=1", .postBytes = &postBytes})),
              c.returnedBody);
    const RecordedRequest request = LastRequest(Server());
    EXPECT_EQ(request.method, c.verb) << c.method.value_or(-99);
    EXPECT_EQ(request.body, c.sentBody) << c.verb;
    // The body bytes are filled from the text only when a body is sent.
    EXPECT_EQ(AsString(postBytes), c.sentBody) << c.verb;
  }
}

TEST_F(VisitWebPageTest, PostBytesGoAheadOfPostText) {
  Server().Serve("/post", test_support::OkResponse("ok"));
  const Bytes binary = {0x00, 0xFF, 'x', 0x0D, 0x0A};
  Bytes postBytes = binary;
  EXPECT_EQ(AsString(VisitWebPage(Server().Url("/post"),
                                  {.method = kMethodPost, .postText = "ignored", .postBytes = &postBytes})),
            "ok");
  EXPECT_EQ(LastRequest(Server()).body, AsString(binary));
  EXPECT_EQ(postBytes, binary);

  // Without the by-reference argument the text still becomes the body.
  EXPECT_EQ(AsString(VisitWebPage(Server().Url("/post"), {.method = kMethodPost, .postText = "t=2"})), "ok");
  EXPECT_EQ(LastRequest(Server()).body, "t=2");
}

Response CookieResponse() {
  Response response = test_support::OkResponse("with cookies");
  response.headers = {{"set-cookie", "a=1; path=/"}, {"Set-Cookie", "b=2"}};
  return response;
}

TEST_F(VisitWebPageTest, ReturnedCookiesAndTheMerge) {
  Server().Serve("/cookies", CookieResponse());
  Server().Serve("/plain", test_support::OkResponse("no cookies"));
  struct Case {
    const char* path;
    std::optional<Text> cookies;
    const char* returnedCookies;
    const char* cookiesAfter;
  };
  const Case cases[] = {
      {"/cookies", std::nullopt, "a=1; b=2", ""},
      {"/cookies", Text("a=0; c=3"), "a=1;b=2", "a=1; b=2; c=3"},
      {"/cookies", Text(""), "a=1;b=2", "a=1; b=2"},
      {"/plain", std::nullopt, "", ""},
      {"/plain", Text("k = v"), "", "k=v"},
  };
  for (const Case& c : cases) {
    Text cookies = c.cookies.value_or(Text());
    Text returnedCookies = "stale";
    Text returnedHeaders;
    VisitOptions options{.returnedCookies = &returnedCookies, .returnedHeaders = &returnedHeaders};
    if (c.cookies) options.cookies = &cookies;
    VisitWebPage(Server().Url(c.path), options);
    EXPECT_EQ(returnedCookies, c.returnedCookies) << c.path << " " << c.cookies.value_or("(omitted)");
    EXPECT_EQ(cookies, c.cookiesAfter) << c.path << " " << c.cookies.value_or("(omitted)");
    EXPECT_EQ(returnedHeaders.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << returnedHeaders;
    EXPECT_EQ(returnedHeaders.find("set-cookie"), std::string::npos) << returnedHeaders;
    if (std::string(c.path) == "/cookies") {
      EXPECT_NE(returnedHeaders.find("\r\nSet-Cookie: a=1; path=/\r\nSet-Cookie: b=2\r\n"), std::string::npos)
          << returnedHeaders;
    }
  }
}

TEST_F(VisitWebPageTest, SuppliedCookiesTurnOffTheLibrarysOwnCookies) {
  Response redirect = test_support::Redirect(Server().Url("/jar/landing"));
  redirect.headers.push_back({"Set-Cookie", "jar=1"});
  Server().Serve("/jar/start", redirect);
  Server().Serve("/jar/landing", test_support::OkResponse("landed"));

  EXPECT_EQ(AsString(VisitWebPage(Server().Url("/jar/start"))), "landed");
  EXPECT_EQ(LastRequest(Server()).FindHeader("Cookie"), "jar=1");

  Text cookies;
  EXPECT_EQ(AsString(VisitWebPage(Server().Url("/jar/start"), {.cookies = &cookies})), "landed");
  EXPECT_EQ(LastRequest(Server()).HeaderCount("Cookie"), 0u) << LastRequest(Server()).raw;
}

// The server keeps connections alive, so a connection or a cookie that outlived its call would be
// used by the next one.
TEST_F(VisitWebPageTest, NothingOutlivesACall) {
  TestServer server;
  ASSERT_TRUE(server.Started());
  Response marked = test_support::OkResponse("marked");
  marked.headers.push_back({"Set-Cookie", "seen=1"});
  server.Serve("/mark", marked);
  server.Serve("/page", test_support::OkResponse("page"));

  EXPECT_EQ(AsString(VisitWebPage(server.Url("/mark"))), "marked");
  EXPECT_EQ(AsString(VisitWebPage(server.Url("/page"))), "page");
  EXPECT_EQ(AsString(VisitWebPage(server.Url("/page"))), "page");

  EXPECT_EQ(server.ConnectionCount(), 3u);
  EXPECT_EQ(LastRequest(server).HeaderCount("Cookie"), 0u) << LastRequest(server).raw;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (server.OpenConnectionCount() > 0 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_EQ(server.OpenConnectionCount(), 0u) << "a connection stayed open after its call";
}

TEST_F(VisitWebPageTest, BodyIsReturnedWhateverTheStatus) {
  EXPECT_EQ(AsString(VisitWebPage(Server().Url("/nowhere"))), test_support::kNotFoundHtml);

  const Response redirect = test_support::Redirect(Server().Url("/target"), 301);
  Server().Serve("/moved", redirect);
  Server().Serve("/target", test_support::OkResponse("target body"));
  EXPECT_EQ(AsString(VisitWebPage(Server().Url("/moved"))), "target body");
  Text returnedHeaders;
  EXPECT_EQ(AsString(VisitWebPage(Server().Url("/moved"),
                                  {.returnedHeaders = &returnedHeaders, .noRedirect = true})),
            redirect.body);
  EXPECT_EQ(returnedHeaders.rfind("HTTP/1.1 301", 0), 0u) << returnedHeaders;
  EXPECT_EQ(LastRequest(Server()).Path(), "/moved");
}

TEST_F(VisitWebPageTest, HeadersBeyondTheBufferGiveSpaces) {
  // The raw headers of these responses are exactly the bytes before the body; with the terminating
  // zero 4999 bytes fill the buffer, 5000 overflow it.
  auto rawWithHeaderBytes = [](std::size_t headerBytes) {
    const std::string head = "HTTP/1.1 200 OK\r\nSet-Cookie: s=1\r\nContent-Length: 4\r\nX-Pad: ";
    const std::string tail = "\r\n\r\n";
    return head + std::string(headerBytes - head.size() - tail.size(), 'p') + tail;
  };
  struct Case {
    std::size_t headerBytes;
    bool fits;
  };
  for (const Case c : {Case{4999, true}, Case{5000, false}, Case{9000, false}}) {
    const std::string head = rawWithHeaderBytes(c.headerBytes);
    Server().Serve("/big", test_support::RawResponse(head + "body"));
    Text returnedHeaders;
    Text returnedCookies = "stale";
    EXPECT_EQ(AsString(VisitWebPage(Server().Url("/big"), {.returnedCookies = &returnedCookies,
                                                           .returnedHeaders = &returnedHeaders})),
              "body");
    EXPECT_EQ(returnedHeaders, c.fits ? head : Text(kRawHeadersBytes, ' ')) << c.headerBytes;
    EXPECT_EQ(returnedCookies, c.fits ? "s=1" : "") << c.headerBytes;
  }
}

TEST_F(VisitWebPageTest, UnreachableHostGivesNothing) {
  ClosedPort closed;
  ASSERT_TRUE(closed.Ok());
  Text cookies = "a=1; b = 2";
  Text returnedCookies = "stale";
  Text returnedHeaders;
  Text headers;
  Bytes postBytes;
  const Bytes body = VisitWebPage(closed.Url("/x"), {.method = kMethodPost,
                                                     .postText = "p=1",
                                                     .cookies = &cookies,
                                                     .returnedCookies = &returnedCookies,
                                                     .extraHeaders = &headers,
                                                     .returnedHeaders = &returnedHeaders,
                                                     .postBytes = &postBytes});
  EXPECT_TRUE(body.empty());
  EXPECT_EQ(returnedHeaders, Text(kRawHeadersBytes, ' '));
  EXPECT_EQ(returnedCookies, "");
  // The merge still runs, with no new cookies.
  EXPECT_EQ(cookies, "a=1; b=2");
}

TEST_F(VisitWebPageTest, UnopenableRequestLeavesEveryArgumentAlone) {
  // No host refuses the connection handle; a blank in the host refuses the request handle.
  for (const char* url : {"http:///x", "http://bad host/x"}) {
    Text cookies = "a = 1";
    Text returnedCookies = "old cookies";
    Text headers = "X-Mine: 1";
    Text returnedHeaders = "old headers";
    Bytes postBytes;
    const Bytes body = VisitWebPage(url, {.method = kMethodPost,
                                          .postText = "p=1",
                                          .cookies = &cookies,
                                          .returnedCookies = &returnedCookies,
                                          .extraHeaders = &headers,
                                          .returnedHeaders = &returnedHeaders,
                                          .postBytes = &postBytes});
    EXPECT_TRUE(body.empty()) << url;
    EXPECT_EQ(cookies, "a = 1") << url;
    EXPECT_EQ(returnedCookies, "old cookies") << url;
    EXPECT_EQ(headers, "X-Mine: 1") << url;
    EXPECT_EQ(returnedHeaders, "old headers") << url;
    EXPECT_TRUE(postBytes.empty()) << url;
  }
}

TEST_F(VisitWebPageTest, HttpsNeedsATrustedCertificate) {
  ASSERT_TRUE(TlsServer().Started());
  TlsServer().Serve("/secure", test_support::OkResponse("secret"));
  // The scheme's letter case does not matter for the secure test.
  const Text url = "HTTPS://" + TlsServer().HostPort() + "/secure";

  Text returnedHeaders = "untouched";
  EXPECT_TRUE(VisitWebPage(url, {.returnedHeaders = &returnedHeaders}).empty());
  EXPECT_EQ(returnedHeaders, Text(kRawHeadersBytes, ' '));

  inet::SetExtraCaFileForTesting(TestCertificates::Shared()->CaPemPath());
  EXPECT_EQ(AsString(VisitWebPage(url)), "secret");
  const RecordedRequest request = LastRequest(TlsServer());
  EXPECT_TRUE(request.tls);
  EXPECT_EQ(request.FindHeader("Referer"), url);
}

TEST_F(VisitWebPageTest, HttpRequestFollowsARedirectToHttps) {
  ASSERT_TRUE(TlsServer().Started());
  inet::SetExtraCaFileForTesting(TestCertificates::Shared()->CaPemPath());
  TlsServer().Serve("/upgraded", test_support::OkResponse("upgraded body"));
  Server().Serve("/upgrade", test_support::Redirect(TlsServer().Url("/upgraded")));
  EXPECT_EQ(AsString(VisitWebPage(Server().Url("/upgrade"))), "upgraded body");
  EXPECT_TRUE(LastRequest(TlsServer()).tls);
}

TEST_F(VisitWebPageTest, ProxyCarriesHttpAndTunnelsHttps) {
  ASSERT_TRUE(ProxyServer().Started());
  ProxyServer().ClearRequests();
  Server().Serve("/via", test_support::OkResponse("via proxy"));
  const Text url = Server().Url("/via");
  EXPECT_EQ(AsString(VisitWebPage(url, {.proxy = ProxyServer().HostPort()})), "via proxy");
  ASSERT_EQ(ProxyServer().RequestCount(), 1u);
  EXPECT_EQ(LastRequest(ProxyServer()).RequestLine(), "GET " + url + " HTTP/1.1");

  ASSERT_TRUE(TlsServer().Started());
  inet::SetExtraCaFileForTesting(TestCertificates::Shared()->CaPemPath());
  TlsServer().Serve("/tunnel", test_support::OkResponse("tunnelled"));
  ProxyServer().ClearRequests();
  EXPECT_EQ(AsString(VisitWebPage(TlsServer().Url("/tunnel"), {.proxy = ProxyServer().HostPort()})),
            "tunnelled");
  ASSERT_EQ(ProxyServer().RequestCount(), 1u);
  const RecordedRequest connect = LastRequest(ProxyServer());
  EXPECT_EQ(connect.method, "CONNECT");
  EXPECT_EQ(connect.target, TlsServer().HostPort());
  EXPECT_EQ(LastRequest(TlsServer()).Path(), "/tunnel");
}

}  // namespace
}  // namespace velbrook
