// Page requests against servers whose certificates must not be trusted, and against URLs and
// redirects of schemes other than http and https.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/test_server.h"
#include "web/internet.h"
#include "web/visit_web_page.h"

namespace velbrook {
namespace {

namespace ts = test_support;
using ts::TestServer;
using ts::TlsIdentity;

constexpr std::size_t kRawHeadersBytes = 5000;
constexpr char kSecret[] = "secret page";

std::string AsString(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

ts::ServerOptions TlsOptions(TlsIdentity identity) {
  ts::ServerOptions options;
  options.tls = true;
  options.identity = identity;
  return options;
}

class CertificateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(ts::TestCertificates::Shared()->Ok());
    // The test CA is trusted throughout, so that only the fault of each certificate can fail it.
    inet::SetExtraCaFileForTesting(ts::TestCertificates::Shared()->CaPemPath());
    inet::SetTimeoutsForTesting({.connectMs = 3000, .stallMs = 3000});
  }
  void TearDown() override {
    inet::SetExtraCaFileForTesting("");
    inet::SetTimeoutsForTesting({});
    EXPECT_EQ(inet::OpenHandleCount(), 0u) << "a request left a handle open";
  }
};

// Every request to a server whose certificate fails gives no body and sends that server nothing: not
// the path, not the cookies, not the header block.
TEST_F(CertificateTest, AnUntrustedCertificateGivesAnEmptyBodyAndSendsNothing) {
  struct Case {
    TlsIdentity identity;
    bool trusted;
  };
  const std::vector<Case> cases = {
      {TlsIdentity::kTrusted, true},
      {TlsIdentity::kOtherHost, false},
      {TlsIdentity::kExpired, false},
      {TlsIdentity::kUnknownCa, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.identity));
    TestServer server(TlsOptions(c.identity));
    ASSERT_TRUE(server.Started());
    server.Serve("/page", ts::OkResponse(kSecret));
    Text cookies = "sid=private";
    Text returnedHeaders;
    Text returnedCookies = "stale";
    const Bytes body = VisitWebPage(
        server.Url("/page"),
        {.cookies = &cookies, .returnedCookies = &returnedCookies, .returnedHeaders = &returnedHeaders});
    if (c.trusted) {
      EXPECT_EQ(AsString(body), kSecret) << "the control case: the same request to a trusted server";
      EXPECT_EQ(server.RequestCount(), 1u);
      continue;
    }
    EXPECT_TRUE(body.empty());
    EXPECT_EQ(returnedHeaders, Text(kRawHeadersBytes, ' '));
    EXPECT_EQ(returnedCookies, "");
    EXPECT_EQ(cookies, "sid=private");
    EXPECT_EQ(server.RequestCount(), 0u) << "no request reaches a server that failed the handshake";
  }
}

TEST_F(CertificateTest, ARedirectToAnUntrustedServerGivesAnEmptyBody) {
  TestServer good(TlsOptions(TlsIdentity::kTrusted));
  TestServer plain;
  ASSERT_TRUE(good.Started());
  ASSERT_TRUE(plain.Started());
  for (TlsIdentity identity : {TlsIdentity::kOtherHost, TlsIdentity::kExpired, TlsIdentity::kUnknownCa}) {
    SCOPED_TRACE(static_cast<int>(identity));
    TestServer bad(TlsOptions(identity));
    ASSERT_TRUE(bad.Started());
    bad.Serve("/page", ts::OkResponse(kSecret));
    good.Serve("/hop", ts::Redirect(bad.Url("/page")));
    plain.Serve("/hop", ts::Redirect(bad.Url("/page")));
    EXPECT_TRUE(VisitWebPage(good.Url("/hop")).empty());
    EXPECT_TRUE(VisitWebPage(plain.Url("/hop")).empty());
    EXPECT_EQ(bad.RequestCount(), 0u);
  }
}

// A file that a redirect names, to show that its contents never come back as a body.
class SecretFile {
 public:
  SecretFile() {
    char pattern[] = "/tmp/velbrook-secret-XXXXXX";
    const int fd = mkstemp(pattern);
    if (fd >= 0) {
      path_ = pattern;
      (void)close(fd);  // the name is all that is needed; the stream below writes the contents
      std::ofstream(path_) << kSecret;
    }
  }
  ~SecretFile() {
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
  }
  bool Ok() const { return !path_.empty(); }
  std::string Url() const { return "file://" + path_; }

 private:
  std::string path_;
};

// Page requests speak HTTP and HTTPS only: a URL of another scheme reaches nothing, and a redirect to
// one is not followed, wherever it points.
TEST(PageRequestSchemeTest, OtherSchemesAreNeitherOpenedNorFollowed) {
  inet::SetTimeoutsForTesting({.connectMs = 3000, .stallMs = 3000});
  SecretFile secret;
  ASSERT_TRUE(secret.Ok());
  TestServer origin;
  TestServer target;  // listens where the other schemes point, and counts who connects
  ASSERT_TRUE(origin.Started());
  ASSERT_TRUE(target.Started());
  target.SetFallback([](const ts::RecordedRequest&) { return ts::OkResponse(kSecret); });
  const std::string at = target.HostPort();
  const std::vector<std::string> others = {
      secret.Url(),
      "FILE://" + secret.Url().substr(7),
      "ftp://" + at + "/a.mp3",
      "gopher://" + at + "/",
      "dict://" + at + "/d:word",
      "telnet://" + at,
      "ldap://" + at + "/",
      "smb://" + at + "/share",
      "scp://" + at + "/a",
      "tftp://" + at + "/a",
      "imap://" + at + "/",
      "data:text/plain,secret",
  };
  for (const std::string& url : others) {
    SCOPED_TRACE(url);
    origin.Serve("/hop", ts::Redirect(url));
    const std::string body = AsString(VisitWebPage(origin.Url("/hop")));
    EXPECT_EQ(body.find(kSecret), std::string::npos);
    EXPECT_EQ(AsString(VisitWebPage(url)).find(kSecret), std::string::npos);
  }
  EXPECT_EQ(target.ConnectionCount(), 0u) << "no other scheme ever reached the target";
  EXPECT_EQ(inet::OpenHandleCount(), 0u);
  inet::SetTimeoutsForTesting({});
}

}  // namespace
}  // namespace velbrook
