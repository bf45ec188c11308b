#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/local_file.h"
#include "download/file_downloader.h"
#include "tests/download/download_test_fixture.h"
#include "tests/support/encoding.h"
#include "tests/support/ftp_server.h"
#include "web/internet.h"

namespace velbrook {
namespace {

namespace ts = test_support;
using ts::FtpServer;
using ts::FtpServerOptions;

constexpr std::size_t kReadBufferBytes = 10240;

struct ProgressCall {
  std::int32_t total;
  std::int32_t done;
  std::int32_t elapsed;
  std::int32_t received;
};

// The servers live for the whole program; each starts at its first use.
FtpServer& PlainServer() {
  static FtpServer server;
  return server;
}
FtpServer& NoRestartServer() {
  static FtpServer server(FtpServerOptions{.restartCommand = false});
  return server;
}
constexpr std::size_t kCutAfterBytes = 150'000;
FtpServer& CuttingServer() {
  static FtpServer server(FtpServerOptions{.cutDownloadsAfter = kCutAfterBytes});
  return server;
}

class FtpDownloadTest : public ts::DownloadTest {
 protected:
  void SetUp() override {
    DownloadTest::SetUp();
    // A server that cannot start is a broken set-up, never a reason to skip.
    ASSERT_TRUE(Server().Started()) << Server().Error();
    Server().ClearCommands();
  }

  static FtpServer& Server() { return PlainServer(); }

  // Downloads with a progress routine that records every call (and may act on the downloader).
  std::int32_t Download(FileDownloader& downloader, const std::string& url, const std::string& path,
                        std::optional<Text> user, std::optional<Text> password,
                        std::optional<std::int32_t> start = std::nullopt,
                        std::function<void()> onFirstCall = {}) {
    calls_.clear();
    return downloader.DownloadFtp(
        url, path, std::move(user), std::move(password),
        [&](std::int32_t t, std::int32_t d, std::int32_t e, std::int32_t r) {
          calls_.push_back({t, d, e, r});
          if (calls_.size() == 1 && onFirstCall) onFirstCall();
        },
        start);
  }

  // The USER and PASS lines that the server received, in order.
  static std::vector<std::string> LogInLines(const FtpServer& server) {
    std::vector<std::string> lines;
    for (const std::string& command : server.Commands()) {
      if (command.rfind("USER ", 0) == 0 || command.rfind("PASS ", 0) == 0) lines.push_back(command);
    }
    return lines;
  }

  std::vector<ProgressCall> calls_;
};

TEST_F(FtpDownloadTest, AMultiMebibyteFileArrivesByteExactWithTheDefaultLogIn) {
  constexpr std::size_t kFileBytes = 3 * 1024 * 1024 + 17;
  const std::string contents = ts::PatternBytes(kFileBytes, 7);
  ASSERT_TRUE(Server().PutFile("/pub/music/big.mp3", contents));
  FileDownloader downloader;
  const std::string url = Server().Url("/pub/music/big.mp3");
  const std::string path = Path("big.mp3");
  Write(path, "old contents that a fresh download empties first");

  ASSERT_EQ(Download(downloader, url, path, std::nullopt, std::nullopt), kDownloadOk);
  EXPECT_TRUE(Contents(path) == contents) << "the file differs from the remote file";
  EXPECT_EQ(downloader.Url(), url);

  std::int64_t done = 0;
  for (const ProgressCall& call : calls_) {
    EXPECT_EQ(call.total, static_cast<std::int32_t>(kFileBytes));
    EXPECT_GT(call.done, done) << "one call per non-empty chunk";
    EXPECT_LE(static_cast<std::size_t>(call.done - done), kReadBufferBytes);
    EXPECT_EQ(call.received, call.done);
    EXPECT_GT(call.elapsed, 0);
    done = call.done;
  }
  EXPECT_EQ(done, static_cast<std::int64_t>(kFileBytes));

  const std::vector<std::string> logIns = LogInLines(Server());
  ASSERT_FALSE(logIns.empty());
  for (std::size_t i = 0; i < logIns.size(); ++i) {
    EXPECT_EQ(logIns[i], i % 2 == 0 ? "USER Anonymous" : "PASS nobody@");
  }
}

TEST_F(FtpDownloadTest, GivenCredentialsAreSentUnchanged) {
  ASSERT_TRUE(Server().PutFile("/named.mp3", "named"));
  const FtpServerOptions& options = Server().Options();
  FileDownloader downloader;
  const std::string path = Path("named.mp3");
  ASSERT_EQ(Download(downloader, Server().Url("/named.mp3"), path, options.user, options.password),
            kDownloadOk);
  EXPECT_EQ(Contents(path), "named");
  const std::vector<std::string> logIns = LogInLines(Server());
  ASSERT_FALSE(logIns.empty());
  EXPECT_EQ(logIns[0], "USER " + options.user);
  EXPECT_EQ(logIns[1], "PASS " + options.password);
}

struct FailureCase {
  const char* name;
  std::string url;
  std::optional<Text> password;
  std::int32_t result;
  bool serverContacted;
};

// Failures before the output file is opened leave the target path alone.
TEST_F(FtpDownloadTest, FailuresBeforeTheOutputFileLeaveTheTargetAlone) {
  ASSERT_TRUE(Server().PutFile("/pub/a.mp3", "abc"));
  const std::string hostPort = "127.0.0.1:" + std::to_string(Server().Port());
  const FailureCase cases[] = {
      {"a wrong password", Server().Url("/pub/a.mp3"), "wrong", kDownloadOpenUrlFailed, true},
      {"a missing remote file", Server().Url("/pub/missing.mp3"), std::nullopt, kDownloadOutputFailed, true},
      {"a directory", Server().Url("/pub/"), std::nullopt, kDownloadOutputFailed, true},
      {"an http URL", "http://" + hostPort + "/pub/a.mp3", std::nullopt, kDownloadOpenUrlFailed, false},
      {"the scheme in capitals", "FTP://" + hostPort + "/pub/a.mp3", std::nullopt, kDownloadOpenUrlFailed,
       false},
      {"no server", "ftp:///pub/a.mp3", std::nullopt, kDownloadOpenUrlFailed, false},
  };
  for (const FailureCase& c : cases) {
    SCOPED_TRACE(c.name);
    Server().ClearCommands();
    FileDownloader downloader;
    const std::string path = Path("target.mp3");
    const std::optional<Text> user = c.password ? std::optional<Text>(Server().Options().user) : std::nullopt;
    EXPECT_EQ(Download(downloader, c.url, path, user, c.password), c.result);
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_TRUE(calls_.empty());
    EXPECT_EQ(downloader.Url(), c.url);
    EXPECT_EQ(Server().Commands().empty(), !c.serverContacted);
  }
}

TEST_F(FtpDownloadTest, AnUnopenableOutputFileGivesMinusSixAfterTheRemoteSeek) {
  ASSERT_TRUE(Server().PutFile("/six.mp3", "abcdef"));
  FileDownloader downloader;
  EXPECT_EQ(Download(downloader, Server().Url("/six.mp3"), "", std::nullopt, std::nullopt),
            kDownloadFtpOutputFailed);
  EXPECT_EQ(Download(downloader, Server().Url("/six.mp3"), Path("no/such/folder.mp3"), std::nullopt,
                     std::nullopt, 2),
            kDownloadFtpOutputFailed);
  bool restarted = false;
  for (const std::string& command : Server().Commands()) restarted = restarted || command == "REST 2";
  EXPECT_TRUE(restarted) << "the remote position moves before the output file is tested";
}

TEST_F(FtpDownloadTest, AResumedDownloadAppendsTheRestAndCountsFromTheStart) {
  constexpr std::int32_t kStart = 25'000;
  const std::string contents = ts::PatternBytes(60'000, 9);
  ASSERT_TRUE(Server().PutFile("/resume.mp3", contents));
  FileDownloader downloader;
  const std::string path = Path("resume.mp3");
  Write(path, contents.substr(0, kStart));

  ASSERT_EQ(Download(downloader, Server().Url("/resume.mp3"), path, std::nullopt, std::nullopt, kStart),
            kDownloadOk);
  EXPECT_TRUE(Contents(path) == contents);
  ASSERT_FALSE(calls_.empty());
  EXPECT_EQ(calls_.front().total, static_cast<std::int32_t>(contents.size())) << "the whole remote size";
  EXPECT_GT(calls_.front().done, kStart);
  EXPECT_EQ(calls_.front().received, calls_.front().done - kStart);
  EXPECT_EQ(calls_.back().done, static_cast<std::int32_t>(contents.size()));
  EXPECT_EQ(calls_.back().received, static_cast<std::int32_t>(contents.size()) - kStart);
  EXPECT_EQ(calls_.back().total, static_cast<std::int32_t>(contents.size()));
}

TEST_F(FtpDownloadTest, ResumingAtTheEndChangesNothing) {
  ASSERT_TRUE(Server().PutFile("/end.mp3", "whole"));
  FileDownloader downloader;
  const std::string path = Path("end.mp3");
  Write(path, "whole");
  EXPECT_EQ(Download(downloader, Server().Url("/end.mp3"), path, std::nullopt, std::nullopt, 5), kDownloadOk);
  EXPECT_EQ(Contents(path), "whole");
  EXPECT_TRUE(calls_.empty());
}

struct SeekCase {
  const char* name;
  bool restartRefused;
  std::int32_t start;
};

// A remote seek that fails gives -5 with the local file unchanged and already closed: Stop afterwards
// has nothing to close.
TEST_F(FtpDownloadTest, AFailingRemoteSeekLeavesTheLocalFileUnchangedAndClosed) {
  const SeekCase cases[] = {
      {"a start beyond the remote size", false, 9},
      {"a negative start", false, -1},
      {"a restart that the server refuses", true, 4},
  };
  for (const SeekCase& c : cases) {
    SCOPED_TRACE(c.name);
    FtpServer& server = c.restartRefused ? NoRestartServer() : Server();
    ASSERT_TRUE(server.Started()) << server.Error();
    ASSERT_TRUE(server.PutFile("/seek.mp3", "12345678"));
    FileDownloader downloader;
    const std::string path = Path("seek.mp3");
    Write(path, "1234");
    EXPECT_EQ(Download(downloader, server.Url("/seek.mp3"), path, std::nullopt, std::nullopt, c.start),
              kDownloadSeekFailed);
    EXPECT_EQ(OpenFileCount(), files_) << "the output file is closed before -5";
    downloader.Stop();
    EXPECT_EQ(Contents(path), "1234");
    EXPECT_TRUE(calls_.empty());
  }
}

TEST_F(FtpDownloadTest, ADataConnectionThatBreaksGivesMinusFourWithWhatWasReadWrittenAndClosed) {
  FtpServer& server = CuttingServer();
  ASSERT_TRUE(server.Started()) << server.Error();
  const std::string contents = ts::PatternBytes(4 * kCutAfterBytes, 3);
  ASSERT_TRUE(server.PutFile("/cut.mp3", contents));
  FileDownloader downloader;
  const std::string path = Path("cut.mp3");

  EXPECT_EQ(Download(downloader, server.Url("/cut.mp3"), path, std::nullopt, std::nullopt), kDownloadReadFailed);
  EXPECT_EQ(OpenFileCount(), files_) << "the output file is closed after -4";
  // How much of what the server sent is read before the break shows depends on whether the data or
  // the 426 reply is seen first; whatever was read is written unchanged and counted.
  const std::string written = Contents(path);
  EXPECT_LE(written.size(), kCutAfterBytes);
  EXPECT_TRUE(written == contents.substr(0, written.size())) << "what was read is written unchanged";
  const std::int32_t counted = calls_.empty() ? 0 : calls_.back().done;
  EXPECT_EQ(counted, static_cast<std::int32_t>(written.size()));
  for (const ProgressCall& call : calls_) EXPECT_EQ(call.total, static_cast<std::int32_t>(contents.size()));
}

TEST_F(FtpDownloadTest, StopFromTheProgressRoutineKeepsReadingAndCountingWithoutWriting) {
  const std::string contents = ts::PatternBytes(200'000, 4);
  ASSERT_TRUE(Server().PutFile("/stop.mp3", contents));
  FileDownloader downloader;
  const std::string path = Path("stop.mp3");
  ASSERT_EQ(Download(downloader, Server().Url("/stop.mp3"), path, std::nullopt, std::nullopt, std::nullopt,
                     [&] { downloader.Stop(); }),
            kDownloadOk);
  ASSERT_GE(calls_.size(), 2u);
  EXPECT_TRUE(Contents(path) == contents.substr(0, static_cast<std::size_t>(calls_.front().done)))
      << "only the chunk before the stop is written";
  EXPECT_EQ(calls_.back().done, static_cast<std::int32_t>(contents.size())) << "the rest is still counted";
}

TEST_F(FtpDownloadTest, AnEmptyRemoteFileGivesAnEmptyFileAndNoProgressCall) {
  ASSERT_TRUE(Server().PutFile("/empty.mp3", ""));
  FileDownloader downloader;
  const std::string path = Path("empty.mp3");
  Write(path, "old");
  EXPECT_EQ(Download(downloader, Server().Url("/empty.mp3"), path, std::nullopt, std::nullopt), kDownloadOk);
  EXPECT_TRUE(std::filesystem::exists(path));
  EXPECT_EQ(Contents(path), "");
  EXPECT_TRUE(calls_.empty());
}

}  // namespace
}  // namespace velbrook
