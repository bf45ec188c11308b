#include "web/internet.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/closed_port.h"
#include "tests/support/encoding.h"
#include "tests/support/test_server.h"

namespace velbrook::inet {
namespace {

using test_support::Response;
using test_support::TestServer;
namespace ts = test_support;

struct ReadResult {
  std::string body;
  bool ok = false;
};

// Reads the handle to its end (or its failure) in chunks of `chunk` bytes.
ReadResult ReadAll(Handle handle, std::uint32_t chunk = 4096) {
  ReadResult result;
  std::vector<char> buffer(chunk);
  for (int guard = 0; guard < 1'000'000; ++guard) {
    std::uint32_t count = 12345;
    if (!ReadFile(handle, buffer.data(), chunk, &count)) {
      EXPECT_EQ(count, 0u);
      return result;
    }
    EXPECT_LE(count, chunk);
    if (count == 0) {
      result.ok = true;
      return result;
    }
    result.body.append(buffer.data(), count);
  }
  ADD_FAILURE() << "the body never ended";
  return result;
}

std::string RawHeaders(Handle handle) {
  std::vector<char> buffer(5000);
  std::uint32_t length = static_cast<std::uint32_t>(buffer.size());
  if (!HttpQueryRawHeaders(handle, buffer.data(), &length)) return "(query failed)";
  return std::string(buffer.data(), length);
}

// Restores an environment variable when the test ends.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value == nullptr) {
      EXPECT_EQ(unsetenv(name), 0);
    } else {
      EXPECT_EQ(setenv(name, value, 1), 0);
    }
  }
  ~ScopedEnv() {
    if (old_) {
      (void)setenv(name_, old_->c_str(), 1);  // restoring the environment cannot fail usefully
    } else {
      (void)unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

class InternetTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    server_ = new TestServer();
    ASSERT_TRUE(server_->Started());
  }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
  }
  void SetUp() override {
    server_->ClearRequests();
    baseline_ = OpenHandleCount();
    session_ = Open("LayerTest/1.0", kOpenTypeDirect, "", "", 0);
    ASSERT_NE(session_, 0u);
  }
  void TearDown() override {
    EXPECT_TRUE(CloseHandle(session_));
    EXPECT_EQ(OpenHandleCount(), baseline_) << "closing the session closes everything under it";
    SetTimeoutsForTesting({});
    SetExtraCaFileForTesting("");
  }

  Handle Get(const std::string& url, const std::string& headers = "", std::uint32_t flags = kFlagReload) {
    return OpenUrl(session_, url, headers.data(), headers.size(), flags);
  }

  static TestServer* server_;
  std::size_t baseline_ = 0;
  Handle session_ = 0;
};

TestServer* InternetTest::server_ = nullptr;

TEST_F(InternetTest, BodiesArriveWhateverTheirFraming) {
  const std::string body = ts::PatternBytes(100'000, 7);
  struct Case {
    const char* path;
    Response response;
    int status;
  };
  const std::vector<Case> cases = {
      {"/length", ts::OkResponse(body), 200},
      {"/chunked", ts::Chunked(body, 777), 200},
      {"/close", ts::CloseDelimited(body), 200},
      {"/slow", ts::Slow(body.substr(0, 3000), 1000, std::chrono::milliseconds(20)), 200},
      {"/missing", ts::NotFoundHtml(), 404},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    server_->Serve(c.path, c.response);
    const Handle handle = Get(server_->Url(c.path));
    ASSERT_NE(handle, 0u);
    EXPECT_EQ(HttpStatusCode(handle), c.status);
    const ReadResult read = ReadAll(handle, 1000);
    EXPECT_TRUE(read.ok);
    EXPECT_EQ(read.body, c.response.body);
    std::uint32_t count = 99;
    char byte = 0;
    EXPECT_TRUE(ReadFile(handle, &byte, 1, &count)) << "the end stays the end";
    EXPECT_EQ(count, 0u);
    EXPECT_TRUE(CloseHandle(handle));
  }
}

TEST_F(InternetTest, CallerHeaderBlockGoesOutAsGivenAndNothingIsAdvertisedBesideIt) {
  server_->Serve("/h", ts::OkResponse("x"));
  const std::string headers =
      "Accept: text/x\r\nX-Odd:  two  blanks\r\nAccept-Encoding: gzip, deflate\r\nUser-Agent: Caller/2";
  const Handle handle = Get(server_->Url("/h"), headers, kFlagReload | kFlagDecodeContent);
  ASSERT_NE(handle, 0u);
  const auto request = server_->LastRequest();
  ASSERT_TRUE(request);
  EXPECT_NE(request->RawHeaderLines().find(
                "Accept: text/x\r\nX-Odd:  two  blanks\r\nAccept-Encoding: gzip, deflate\r\n"
                "User-Agent: Caller/2\r\n"),
            std::string::npos)
      << request->raw;
  EXPECT_EQ(request->HeaderCount("User-Agent"), 1u);
  EXPECT_EQ(request->HeaderCount("Accept-Encoding"), 1u);
  EXPECT_EQ(request->HeaderCount("Accept"), 1u);

  // Without caller lines only the session's agent and Host go out.
  const Handle bare = Get(server_->Url("/h"), "", kFlagReload | kFlagDecodeContent);
  ASSERT_NE(bare, 0u);
  const auto plain = server_->LastRequest();
  ASSERT_TRUE(plain);
  EXPECT_EQ(plain->FindHeader("User-Agent").value_or(""), "LayerTest/1.0");
  for (const char* name : {"Accept", "Accept-Encoding", "Content-Type", "Expect", "Cookie"}) {
    EXPECT_EQ(plain->HeaderCount(name), 0u) << name;
  }
}

TEST_F(InternetTest, RequestsSendTheirVerbAndBody) {
  server_->Serve("/v", ts::OkResponse("answer"));
  struct Case {
    const char* verb;
    std::string body;
    const char* expectedBody;  // what the caller reads back
  };
  const std::vector<Case> cases = {
      {"GET", "", "answer"},
      {"POST", "a=1", "answer"},
      {"POST", std::string(5000, 'p'), "answer"},  // large enough for curl to think of Expect
      {"HEAD", "a=1", ""},
      {"HEAD", "", ""},
  };
  const Handle connection = Connect(session_, "127.0.0.1", server_->Port(), "", "", kServiceHttp, 0);
  ASSERT_NE(connection, 0u);
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.verb) + " " + std::to_string(c.body.size()));
    const Handle request = HttpOpenRequest(connection, c.verb, "/v?q=1", "HTTP/1.1", kFlagReload);
    ASSERT_NE(request, 0u);
    const std::string headers = "Content-Type: text/plain";
    ASSERT_TRUE(HttpSendRequest(request, headers.data(), headers.size(), c.body.data(), c.body.size()));
    const auto recorded = server_->LastRequest();
    ASSERT_TRUE(recorded);
    EXPECT_EQ(recorded->method, c.verb);
    EXPECT_EQ(recorded->target, "/v?q=1");
    EXPECT_EQ(recorded->body, c.body);
    EXPECT_EQ(recorded->HeaderCount("Expect"), 0u);
    EXPECT_EQ(ReadAll(request).body, c.expectedBody);
  }
  EXPECT_TRUE(CloseHandle(connection));
}

TEST_F(InternetTest, OnlyHttpAndHttpsAreOpenedOrFollowed) {
  server_->AddRedirect("/to-file", "file:///etc/passwd");
  server_->AddRedirect("/to-ftp", "ftp://127.0.0.1:1/a.mp3");
  for (const std::string& url : {std::string("file:///etc/passwd"), std::string("FILE:///etc/hostname"),
                                 std::string("ftp://127.0.0.1:1/a"), std::string("gopher://127.0.0.1/"),
                                 std::string("127.0.0.1/no-scheme"), std::string(""),
                                 server_->Url("/to-file"), server_->Url("/to-ftp")}) {
    EXPECT_EQ(Get(url), 0u) << url;
  }
  const std::size_t count = OpenHandleCount();
  EXPECT_EQ(count, baseline_ + 1) << "failed opens leave no handle behind";
  server_->Serve("/upper", ts::OkResponse("upper"));
  const std::string upper = "HTTP://" + server_->HostPort() + "/upper";
  const Handle handle = Get(upper);
  ASSERT_NE(handle, 0u) << "the scheme is compared without letter case";
  EXPECT_EQ(ReadAll(handle).body, "upper");
}

TEST_F(InternetTest, RedirectsAreFollowedUpToTheLimitUnlessSwitchedOff) {
  server_->Serve("/target", ts::OkResponse("landed"));
  server_->AddRedirect("/hop", server_->Url("/target"), 301);
  server_->AddRedirect("/loop", server_->Url("/loop"));

  const Handle followed = Get(server_->Url("/hop"));
  ASSERT_NE(followed, 0u);
  EXPECT_EQ(HttpStatusCode(followed), 200);
  EXPECT_EQ(RawHeaders(followed).rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << "the final response's headers";
  EXPECT_EQ(ReadAll(followed).body, "landed");

  const Handle kept = Get(server_->Url("/hop"), "", kFlagReload | kFlagNoAutoRedirect);
  ASSERT_NE(kept, 0u);
  EXPECT_EQ(HttpStatusCode(kept), 301);
  EXPECT_NE(ReadAll(kept).body.find("<html"), std::string::npos) << "the redirect's own body";

  server_->ClearRequests();
  EXPECT_EQ(Get(server_->Url("/loop")), 0u);
  EXPECT_EQ(server_->RequestCount(), static_cast<std::size_t>(kMaxRedirects) + 1);
}

TEST_F(InternetTest, CookiesLiveInTheirSessionUnlessSwitchedOff) {
  Response setter = ts::OkResponse("set");
  setter.headers.push_back({"Set-Cookie", "a=1; Path=/"});
  server_->Serve("/set", setter);
  Response other = ts::OkResponse("set");
  other.headers.push_back({"Set-Cookie", "b=2; Path=/"});
  server_->Serve("/set-other", other);
  server_->Serve("/echo", ts::OkResponse("echo"));
  auto cookieSent = [&](Handle session, std::uint32_t flags) {
    const std::string headers;
    const Handle handle = OpenUrl(session, server_->Url("/echo"), headers.data(), 0, flags);
    EXPECT_NE(handle, 0u);
    const auto request = server_->LastRequest();
    return request ? request->FindHeader("Cookie").value_or("(none)") : "(no request)";
  };

  ASSERT_NE(Get(server_->Url("/set")), 0u);
  EXPECT_EQ(cookieSent(session_, kFlagReload), "a=1");
  EXPECT_EQ(cookieSent(session_, kFlagReload | kFlagNoCookies), "(none)");
  ASSERT_NE(Get(server_->Url("/set-other"), "", kFlagReload | kFlagNoCookies), 0u);
  EXPECT_EQ(cookieSent(session_, kFlagReload), "a=1") << "a cookie-less request stores nothing";

  const Handle fresh = Open("Other", kOpenTypeDirect, "", "", 0);
  ASSERT_NE(fresh, 0u);
  EXPECT_EQ(cookieSent(fresh, kFlagReload), "(none)");
  EXPECT_TRUE(CloseHandle(fresh));
}

TEST_F(InternetTest, RawHeadersComeInCrlfFormAndMustFit) {
  server_->Serve("/lf", ts::RawResponse("HTTP/1.1 200 OK\nX-A: 1\nContent-Length: 2\n\nok"));
  const Handle handle = Get(server_->Url("/lf"));
  ASSERT_NE(handle, 0u);
  const std::string expected = "HTTP/1.1 200 OK\r\nX-A: 1\r\nContent-Length: 2\r\n\r\n";
  EXPECT_EQ(RawHeaders(handle), expected);

  std::vector<char> buffer(expected.size() + 1, '#');
  std::uint32_t length = static_cast<std::uint32_t>(expected.size());  // one short: no room for the zero
  EXPECT_FALSE(HttpQueryRawHeaders(handle, buffer.data(), &length));
  EXPECT_EQ(length, expected.size() + 1) << "the size needed";
  EXPECT_EQ(buffer[0], '#') << "nothing written";
  length = static_cast<std::uint32_t>(buffer.size());
  ASSERT_TRUE(HttpQueryRawHeaders(handle, buffer.data(), &length));
  EXPECT_EQ(length, expected.size());
  EXPECT_EQ(std::string(buffer.data()), expected) << "zero-terminated";
  EXPECT_EQ(ReadAll(handle).body, "ok");
}

TEST_F(InternetTest, ContentLengthIsANumberOnlyWhenAnnounced) {
  server_->Serve("/known", ts::OkResponse(std::string(1234, 'k')));
  server_->Serve("/chunked", ts::Chunked("abc"));
  server_->Serve("/huge", ts::RawResponse("HTTP/1.1 200 OK\r\nContent-Length: 5368709120\r\n\r\nab"));
  struct Case {
    const char* path;
    std::optional<std::uint32_t> length32;
    std::optional<std::uint64_t> length64;
  };
  for (const Case& c : {Case{"/known", 1234, 1234}, Case{"/chunked", std::nullopt, std::nullopt},
                        Case{"/huge", std::nullopt, 5368709120ull}}) {
    SCOPED_TRACE(c.path);
    const Handle handle = Get(server_->Url(c.path));
    ASSERT_NE(handle, 0u);
    std::uint32_t length = 77;
    EXPECT_EQ(HttpQueryContentLength(handle, &length), c.length32.has_value());
    if (c.length32) {
      EXPECT_EQ(length, *c.length32);
    }
    EXPECT_EQ(HttpAnnouncedLength(handle), c.length64);
    EXPECT_TRUE(CloseHandle(handle));
  }
}

TEST_F(InternetTest, ALargeBodyReadSlowlyIsHeldOnlyInABoundedBuffer) {
  constexpr std::uint64_t kBodyBytes = 8 * 1024 * 1024;
  constexpr std::size_t kBound = 256 * 1024;
  server_->Serve("/big", ts::StreamedPattern(kBodyBytes, 3));
  const Handle handle = Get(server_->Url("/big"));
  ASSERT_NE(handle, 0u);
  std::vector<char> buffer(10240);
  std::vector<char> expected(buffer.size());
  std::uint64_t offset = 0;
  for (int step = 0; step < 100'000; ++step) {
    if (step < 5) std::this_thread::sleep_for(std::chrono::milliseconds(40));  // the server runs ahead
    std::uint32_t count = 0;
    ASSERT_TRUE(ReadFile(handle, buffer.data(), static_cast<std::uint32_t>(buffer.size()), &count));
    if (count == 0) break;
    ts::FillPattern(3, offset, expected.data(), count);
    ASSERT_EQ(std::string(buffer.data(), count), std::string(expected.data(), count)) << "at " << offset;
    offset += count;
    ASSERT_LE(PeakBufferedBytesForTesting(handle), kBound);
  }
  EXPECT_EQ(offset, kBodyBytes);
  EXPECT_GT(PeakBufferedBytesForTesting(handle), 0u);
}

TEST_F(InternetTest, TransfersThatBreakOrStallFail) {
  const std::string body(50'000, 'b');
  SetTimeoutsForTesting({.connectMs = 2000, .stallMs = 1000});
  struct Case {
    const char* path;
    Response response;
    std::size_t bytesBeforeFailure;
  };
  const std::vector<Case> cases = {
      {"/cut", ts::CutMidBody(body, 20'000), 20'000},
      {"/reset", ts::CutMidBody(body, 20'000, ts::CutMode::kReset), 20'000},
      {"/stall", ts::Stalling(body, std::chrono::milliseconds(6000), 100), 100},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    server_->Serve(c.path, c.response);
    const auto started = std::chrono::steady_clock::now();
    const Handle handle = Get(server_->Url(c.path));
    ASSERT_NE(handle, 0u);
    const ReadResult read = ReadAll(handle);
    EXPECT_FALSE(read.ok);
    if (c.response.cutMode == ts::CutMode::kClose) {
      EXPECT_EQ(read.body.size(), c.bytesBeforeFailure);
    }
    EXPECT_LE(read.body.size(), c.bytesBeforeFailure);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    EXPECT_TRUE(CloseHandle(handle));
  }
  Response late = ts::OkResponse("late");
  late.delayBeforeHeaders = std::chrono::milliseconds(6000);
  server_->Serve("/late", late);
  const auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(Get(server_->Url("/late")), 0u) << "a response whose headers never come";
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));

  ts::ClosedPort closed;
  ASSERT_TRUE(closed.Ok());
  EXPECT_EQ(Get(closed.Url("/")), 0u);
}

ts::ServerOptions ProxyOptions() {
  ts::ServerOptions options;
  options.proxy = true;
  return options;
}

ts::ServerOptions TlsOptions(ts::TlsIdentity identity) {
  ts::ServerOptions options;
  options.tls = true;
  options.identity = identity;
  return options;
}

class ProxyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(proxy_.Started());
    ASSERT_TRUE(origin_.Started());
    proxy_.SetProxyHandler([](const ts::RecordedRequest&) { return ts::OkResponse("proxied"); });
    origin_.Serve("/p", ts::OkResponse("direct"));
  }

  // The body of the origin's /p fetched through a session of this kind.
  std::string Fetch(std::uint32_t accessType, const std::string& proxyList) {
    const Handle session = Open("ProxyTest", accessType, proxyList, "", 0);
    if (session == 0) return "(no session)";
    const Handle handle = OpenUrl(session, origin_.Url("/p"), "", 0, kFlagReload);
    const std::string body = handle == 0 ? "(open failed)" : ReadAll(handle).body;
    EXPECT_TRUE(CloseHandle(session));
    return body;
  }

  TestServer proxy_{ProxyOptions()};
  TestServer origin_;
  ScopedEnv noProxy_{"no_proxy", nullptr};
  ScopedEnv noProxyUpper_{"NO_PROXY", nullptr};
  ScopedEnv allProxy_{"all_proxy", nullptr};
  ScopedEnv allProxyUpper_{"ALL_PROXY", nullptr};
  ScopedEnv httpsProxy_{"https_proxy", nullptr};
  ScopedEnv httpsProxyUpper_{"HTTPS_PROXY", nullptr};
};

TEST_F(ProxyTest, AGivenListServesTheSchemesItNames) {
  const std::string at = proxy_.HostPort();
  ScopedEnv env("http_proxy", nullptr);
  struct Case {
    std::string list;
    const char* expected;
  };
  const std::vector<Case> cases = {
      {"http=" + at, "proxied"},
      {at, "proxied"},
      {"https=" + at, "direct"},
      {"ftp=127.0.0.1:1 http=" + at, "proxied"},
      {"127.0.0.1:1;http=" + at, "proxied"},  // the scheme's own entry wins over a bare one
      {"", "direct"},
  };
  for (const Case& c : cases) EXPECT_EQ(Fetch(kOpenTypeProxy, c.list), c.expected) << c.list;
}

TEST_F(ProxyTest, EnvironmentCountsOnlyForPreconfiguredSessions) {
  std::uint32_t flags = 99;
  {
    ScopedEnv env("http_proxy", nullptr);
    ASSERT_TRUE(GetConnectedState(&flags));
    EXPECT_EQ(flags & kConnectionProxy, 0u);
    EXPECT_EQ(Fetch(kOpenTypePreconfig, ""), "direct");
  }
  ScopedEnv env("http_proxy", ("http://" + proxy_.HostPort()).c_str());
  ASSERT_TRUE(GetConnectedState(&flags));
  EXPECT_EQ(flags & kConnectionProxy, kConnectionProxy);
  EXPECT_EQ(Fetch(kOpenTypePreconfig, ""), "proxied");
  EXPECT_EQ(Fetch(kOpenTypePreconfigNoAutoproxy, ""), "proxied");
  EXPECT_EQ(Fetch(kOpenTypeDirect, ""), "direct") << "a direct session ignores the environment";
}

TEST(InternetHttpsTest, CertificatesAreVerifiedAgainstTheTrustedCas) {
  const auto certificates = ts::TestCertificates::Shared();
  ASSERT_TRUE(certificates->Ok());
  struct Case {
    ts::TlsIdentity identity;
    bool trustTestCa;
    bool opens;
  };
  const std::vector<Case> cases = {
      {ts::TlsIdentity::kTrusted, true, true},    {ts::TlsIdentity::kTrusted, false, false},
      {ts::TlsIdentity::kUnknownCa, true, false}, {ts::TlsIdentity::kOtherHost, true, false},
      {ts::TlsIdentity::kExpired, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.identity) * 2 + (c.trustTestCa ? 1 : 0));
    TestServer server(TlsOptions(c.identity));
    ASSERT_TRUE(server.Started());
    server.Serve("/s", ts::OkResponse("secret"));
    SetExtraCaFileForTesting(c.trustTestCa ? certificates->CaPemPath() : "");
    const Handle session = Open("TlsTest", kOpenTypeDirect, "", "", 0);
    ASSERT_NE(session, 0u);
    const Handle handle = OpenUrl(session, server.Url("/s"), "", 0, kFlagReload);
    EXPECT_EQ(handle != 0, c.opens);
    if (handle != 0) {
      EXPECT_EQ(ReadAll(handle).body, "secret");
    }
    EXPECT_TRUE(CloseHandle(session));
  }
  SetExtraCaFileForTesting("");
}

TEST_F(InternetTest, HandlesCloseOnceAndAClosedHandleReadsNothing) {
  server_->Serve("/c", ts::OkResponse("c"));
  const Handle connection = Connect(session_, "127.0.0.1", server_->Port(), "", "", kServiceHttp, 0);
  ASSERT_NE(connection, 0u);
  const Handle request = HttpOpenRequest(connection, "GET", "/c", "HTTP/1.1", 0);
  ASSERT_NE(request, 0u);
  std::uint32_t count = 5;
  char byte = 0;
  EXPECT_FALSE(ReadFile(request, &byte, 1, &count)) << "nothing sent yet";
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(HttpStatusCode(request), 0);
  EXPECT_TRUE(CloseHandle(connection));
  EXPECT_FALSE(CloseHandle(request)) << "closed with its connection";
  EXPECT_FALSE(HttpSendRequest(request, "", 0, nullptr, 0));
  EXPECT_FALSE(CloseHandle(0));
  EXPECT_EQ(Connect(0, "127.0.0.1", 80, "", "", kServiceHttp, 0), 0u);
  EXPECT_EQ(Open("x", 2, "", "", 0), 0u) << "an unknown access type";
}

}  // namespace
}  // namespace velbrook::inet
