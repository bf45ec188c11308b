// Downloads from servers whose certificates must not be trusted, and from URLs and redirects of
// schemes that a download of that kind does not speak.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "base/local_file.h"
#include "download/file_downloader.h"
#include "tests/download/download_test_fixture.h"
#include "tests/support/test_server.h"
#include "web/internet.h"

namespace velbrook {
namespace {

namespace ts = test_support;
using ts::TestServer;
using ts::TlsIdentity;

constexpr char kSong[] = "ID3 song bytes";

ts::ServerOptions TlsOptions(TlsIdentity identity) {
  ts::ServerOptions options;
  options.tls = true;
  options.identity = identity;
  return options;
}

class DownloadTrustTest : public ts::DownloadTest {
 protected:
  void SetUp() override {
    DownloadTest::SetUp();
    ASSERT_TRUE(ts::TestCertificates::Shared()->Ok());
    inet::SetExtraCaFileForTesting(ts::TestCertificates::Shared()->CaPemPath());
    inet::SetTimeoutsForTesting({.connectMs = 3000, .stallMs = 3000});
  }
  void TearDown() override {
    inet::SetExtraCaFileForTesting("");
    inet::SetTimeoutsForTesting({});
    DownloadTest::TearDown();
  }
};

TEST_F(DownloadTrustTest, AnUntrustedCertificateFailsTheOpenAndCreatesNoFile) {
  struct Case {
    TlsIdentity identity;
    std::int32_t result;
  };
  const std::vector<Case> cases = {
      {TlsIdentity::kTrusted, kDownloadOk},
      {TlsIdentity::kOtherHost, kDownloadOpenUrlFailed},
      {TlsIdentity::kExpired, kDownloadOpenUrlFailed},
      {TlsIdentity::kUnknownCa, kDownloadOpenUrlFailed},
  };
  TestServer plain;
  ASSERT_TRUE(plain.Started());
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.identity));
    TestServer server(TlsOptions(c.identity));
    ASSERT_TRUE(server.Started());
    server.Serve("/a.mp3", ts::OkResponse(kSong));
    plain.Serve("/hop.mp3", ts::Redirect(server.Url("/a.mp3")));
    FileDownloader downloader;
    const std::string direct = Path("direct.mp3");
    const std::string redirected = Path("redirected.mp3");
    EXPECT_EQ(downloader.DownloadHttp(server.Url("/a.mp3"), direct), c.result);
    EXPECT_EQ(downloader.DownloadHttp(plain.Url("/hop.mp3"), redirected), c.result) << "after a redirect";
    if (c.result == kDownloadOk) {
      EXPECT_EQ(std::filesystem::file_size(direct), sizeof kSong - 1) << "the control case";
      std::filesystem::remove(direct);
      std::filesystem::remove(redirected);
      continue;
    }
    EXPECT_FALSE(std::filesystem::exists(direct));
    EXPECT_FALSE(std::filesystem::exists(redirected));
    EXPECT_EQ(server.RequestCount(), 0u) << "no request reaches a server that failed the handshake";
  }
}

// HTTP downloads speak HTTP and HTTPS only, FTP downloads FTP only: any other scheme, given or
// reached through a redirect, fails before any connection is made, and no file is created.
TEST_F(DownloadTrustTest, EachDownloadSpeaksOnlyItsOwnSchemes) {
  TestServer origin;
  TestServer target;  // listens where the other schemes point, and counts who connects
  ASSERT_TRUE(origin.Started());
  ASSERT_TRUE(target.Started());
  target.SetFallback([](const ts::RecordedRequest&) { return ts::OkResponse(kSong); });
  const std::string at = target.HostPort();
  const std::vector<std::string> notHttp = {
      "ftp://" + at + "/a.mp3", "FTP://" + at + "/a.mp3", "gopher://" + at + "/a", "dict://" + at + "/d:a",
      "telnet://" + at,         "ldap://" + at + "/",     "smb://" + at + "/a",    "scp://" + at + "/a",
      "tftp://" + at + "/a",    "file:///etc/hostname",   "data:audio/mpeg,ID3",
  };
  FileDownloader downloader;
  for (const std::string& url : notHttp) {
    SCOPED_TRACE(url);
    origin.Serve("/hop.mp3", ts::Redirect(url));
    EXPECT_EQ(downloader.DownloadHttp(url, Path("given.mp3")), kDownloadOpenUrlFailed);
    EXPECT_EQ(downloader.DownloadHttp(origin.Url("/hop.mp3"), Path("redirected.mp3")),
              kDownloadOpenUrlFailed);
    EXPECT_FALSE(std::filesystem::exists(Path("given.mp3")));
    EXPECT_FALSE(std::filesystem::exists(Path("redirected.mp3")));
  }
  const std::vector<std::string> notFtp = {
      target.Url("/a.mp3"),
      "https://" + at + "/a.mp3",
      "file:///etc/hostname",
      "gopher://" + at + "/a.mp3",
  };
  for (const std::string& url : notFtp) {
    SCOPED_TRACE(url);
    EXPECT_NE(downloader.DownloadFtp(url, Path("ftp.mp3")), kDownloadOk);
    EXPECT_FALSE(std::filesystem::exists(Path("ftp.mp3")));
  }
  EXPECT_EQ(target.ConnectionCount(), 0u) << "no other scheme ever reached the target";
}

}  // namespace
}  // namespace velbrook
