#include "download/file_downloader.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <vector>

#include "base/local_file.h"
#include "tests/download/download_test_fixture.h"
#include "tests/support/closed_port.h"
#include "tests/support/encoding.h"
#include "tests/support/test_server.h"
#include "web/internet.h"

namespace velbrook {
namespace {

namespace ts = test_support;
using ts::Response;
using ts::TestServer;

constexpr std::size_t kReadBufferBytes = 10240;
constexpr char kRequestHeaderLines[] =
    "Accept: */*\r\nAccept-Language: zh-cn\r\nAccept-Encoding: gzip, deflate\r\n"
    "User-Agent: Mozilla/4.0(compatible; MSIE 6.0; Windows NT 5.0; MyIE2; .NET CLR 1.1.4322)\r\n";

struct ProgressCall {
  std::int32_t total;
  std::int32_t done;
  std::int32_t elapsed;
  std::int32_t received;
};

class FileDownloaderTest : public ts::DownloadTest {
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
    DownloadTest::SetUp();
    server_->ClearRequests();
  }
  void TearDown() override {
    DownloadTest::TearDown();
    inet::SetTimeoutsForTesting({});
  }

  // Downloads with a progress routine that records every call.
  std::int32_t Download(FileDownloader& downloader, const std::string& url, const std::string& path,
                        std::optional<std::int32_t> start = std::nullopt) {
    calls_.clear();
    return downloader.DownloadHttp(
        url, path,
        [this](std::int32_t t, std::int32_t d, std::int32_t e, std::int32_t r) {
          calls_.push_back({t, d, e, r});
        },
        start);
  }

  static TestServer* server_;
  std::vector<ProgressCall> calls_;
};

TestServer* FileDownloaderTest::server_ = nullptr;

TEST_F(FileDownloaderTest, AMultiMebibyteBodyArrivesByteExactWithTheExactHeaders) {
  constexpr std::uint64_t kBodyBytes = 3 * 1024 * 1024 + 17;
  server_->Serve("/big.mp3", ts::StreamedPattern(kBodyBytes, 5));
  FileDownloader downloader;
  const std::string url = server_->Url("/big.mp3");
  const std::string path = Path("big.mp3");
  ASSERT_EQ(Download(downloader, url, path), kDownloadOk);
  EXPECT_TRUE(Contents(path) == ts::PatternBytes(kBodyBytes, 5)) << "the file differs from the body";
  EXPECT_EQ(downloader.Url(), url);
  EXPECT_EQ(downloader.LastStatusCode(), 200);
  EXPECT_EQ(downloader.LastAnnouncedLength(), kBodyBytes);

  const auto request = server_->LastRequest();
  ASSERT_TRUE(request);
  EXPECT_EQ(request->method, "GET");
  EXPECT_NE(request->RawHeaderLines().find(kRequestHeaderLines), std::string::npos) << request->raw;
  EXPECT_EQ(request->HeaderCount("Range"), 0u);
  EXPECT_EQ(request->HeaderCount("User-Agent"), 1u);
  EXPECT_EQ(request->HeaderCount("Accept-Encoding"), 1u);

  std::uint64_t done = 0;
  for (const ProgressCall& call : calls_) {
    EXPECT_EQ(call.total, static_cast<std::int32_t>(kBodyBytes));
    EXPECT_GT(static_cast<std::uint64_t>(call.done), done) << "one call per non-empty chunk";
    EXPECT_LE(static_cast<std::uint64_t>(call.done) - done, kReadBufferBytes);
    EXPECT_EQ(call.received, call.done);
    EXPECT_GT(call.elapsed, 0);
    done = static_cast<std::uint64_t>(call.done);
  }
  EXPECT_EQ(done, kBodyBytes);
}

TEST_F(FileDownloaderTest, AStartPositionAsksForARangeAndAppends) {
  const std::string body = ts::PatternBytes(30'000, 9);
  server_->Handle("/r", [body](const ts::RecordedRequest& request) { return ts::RangeAware(request, body); });
  struct Case {
    const char* name;
    std::optional<std::string> existing;
    std::optional<std::int32_t> start;
    std::string expectedFile;
  };
  const std::vector<Case> cases = {
      {"fresh download empties the file", "old contents", std::nullopt, body},
      {"start 0 appends to an existing file", "old", 0, "old" + body},
      {"start 5 appends what the server sends", "12345", 5, "12345" + body.substr(5)},
      {"start 7 creates a missing file", std::nullopt, 7, body.substr(7)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = Path("r.mp3");
    std::filesystem::remove(path);
    if (c.existing) Write(path, *c.existing);
    FileDownloader downloader;
    ASSERT_EQ(Download(downloader, server_->Url("/r"), path, c.start), kDownloadOk);
    EXPECT_TRUE(Contents(path) == c.expectedFile);
    const auto request = server_->LastRequest();
    ASSERT_TRUE(request);
    const std::string range = c.start ? "Range:bytes=" + std::to_string(*c.start) + "-\r\n" : "";
    EXPECT_NE(request->RawHeaderLines().find(kRequestHeaderLines + range), std::string::npos) << request->raw;
    EXPECT_EQ(request->HeaderCount("Range"), c.start ? 1u : 0u);
    ASSERT_FALSE(calls_.empty());
    const std::int32_t start = c.start.value_or(0);
    const auto length = static_cast<std::int32_t>(body.size()) - start;
    EXPECT_EQ(calls_.front().total, length + start) << "the content length plus the start";
    EXPECT_EQ(calls_.front().done, start + calls_.front().received);
    EXPECT_EQ(calls_.back().done, static_cast<std::int32_t>(body.size()));
    EXPECT_EQ(calls_.back().received, length);
  }
}

TEST_F(FileDownloaderTest, ProgressWithoutAContentLengthHasTheStartAsTotal) {
  server_->Serve("/chunked", ts::Chunked(std::string(25'000, 'c'), 4000));
  FileDownloader downloader;
  ASSERT_EQ(Download(downloader, server_->Url("/chunked"), Path("c"), 100), kDownloadOk);
  ASSERT_FALSE(calls_.empty());
  for (const ProgressCall& call : calls_) EXPECT_EQ(call.total, 100);
  EXPECT_EQ(calls_.back().done, 25'100);
  EXPECT_EQ(downloader.LastAnnouncedLength(), std::nullopt);
  ASSERT_EQ(downloader.DownloadHttp(server_->Url("/chunked"), Path("d")), kDownloadOk) << "no routine";
  EXPECT_EQ(Contents(Path("d")), std::string(25'000, 'c'));
}

TEST_F(FileDownloaderTest, AnEmptyBodyMakesNoProgressCall) {
  server_->Serve("/empty", ts::OkResponse(""));
  FileDownloader downloader;
  Write(Path("e"), "previous");
  ASSERT_EQ(Download(downloader, server_->Url("/empty"), Path("e")), kDownloadOk);
  EXPECT_EQ(Contents(Path("e")), "");
  EXPECT_TRUE(calls_.empty());
  Write(Path("kept"), "previous");
  ASSERT_EQ(Download(downloader, server_->Url("/empty"), Path("kept"), 8), kDownloadOk);
  EXPECT_EQ(Contents(Path("kept")), "previous");
  EXPECT_TRUE(calls_.empty());
}

TEST_F(FileDownloaderTest, FailuresGiveTheirResultCodes) {
  inet::SetTimeoutsForTesting({.connectMs = 2000, .stallMs = 800});
  const std::string body(60'000, 'x');
  server_->Serve("/cut", ts::CutMidBody(body, 25'000));
  server_->Serve("/stall", ts::Stalling(body, std::chrono::milliseconds(5000), 12'000));
  server_->Serve("/ok", ts::OkResponse("fine"));
  server_->AddRedirect("/to-file", "file:///etc/hostname");
  ts::ClosedPort closed;
  ASSERT_TRUE(closed.Ok());
  struct Case {
    std::string url;
    std::string target;
    std::int32_t result;
    std::optional<std::string> file;  // the target's contents afterwards; nullopt: absent
  };
  const std::vector<Case> cases = {
      {closed.Url("/a.mp3"), "untouched", kDownloadOpenUrlFailed, "keep me"},
      {closed.Url("/a.mp3"), "absent", kDownloadOpenUrlFailed, std::nullopt},
      {server_->Url("/to-file"), "untouched", kDownloadOpenUrlFailed, "keep me"},
      {"file:///etc/hostname", "absent", kDownloadOpenUrlFailed, std::nullopt},
      {server_->Url("/ok"), "", kDownloadOutputFailed, std::nullopt},
      {server_->Url("/ok"), "no-such-dir/x", kDownloadOutputFailed, std::nullopt},
      {server_->Url("/cut"), "cut", kDownloadReadFailed, body.substr(0, 25'000)},
      {server_->Url("/stall"), "stall", kDownloadReadFailed, body.substr(0, 12'000)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.url + " -> " + c.target);
    const std::string path = c.target.empty() ? "" : Path(c.target);
    if (c.target == "untouched") Write(path, "keep me");
    const std::size_t requests = server_->RequestCount();
    FileDownloader downloader;
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(Download(downloader, c.url, path), c.result);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(4));
    if (c.result == kDownloadOutputFailed) {
      EXPECT_GT(server_->RequestCount(), requests) << "the URL is opened first";
    }
    if (c.file) {
      EXPECT_TRUE(Contents(path) == *c.file);
    } else if (!path.empty()) {
      EXPECT_FALSE(std::filesystem::exists(path));
    }
  }
}

TEST_F(FileDownloaderTest, ElapsedIsTenForZeroAndSurvivesTheWrap) {
  server_->Serve("/t", ts::OkResponse("tick"));
  struct Case {
    std::uint32_t first;
    std::uint32_t step;
    std::int32_t elapsed;
  };
  // Ticks are read for the agent text, at the start of the read loop, then once per chunk.
  for (const Case& c : {Case{1000, 0, 10}, Case{0xFFFFFFC0u, 0x20, 0x20}, Case{0x7FFFFFF0u, 0x30, 0x30}}) {
    SCOPED_TRACE(c.first);
    auto now = std::make_shared<std::uint32_t>(c.first);
    FileDownloader downloader([now, step = c.step] {
      const std::uint32_t tick = *now;
      *now += step;
      return tick;
    });
    ASSERT_EQ(Download(downloader, server_->Url("/t"), Path("t")), kDownloadOk);
    ASSERT_EQ(calls_.size(), 1u);
    EXPECT_EQ(calls_[0].elapsed, c.elapsed);
  }
}

TEST_F(FileDownloaderTest, StopInsideProgressKeepsReadingButWritesNoMore) {
  const std::string body = ts::PatternBytes(100'000, 2);
  server_->Serve("/s", ts::OkResponse(body));
  FileDownloader downloader;
  std::vector<std::int32_t> done;
  const std::int32_t result = downloader.DownloadHttp(
      server_->Url("/s"), Path("s"), [&](std::int32_t, std::int32_t d, std::int32_t, std::int32_t) {
        if (done.empty()) downloader.Stop();
        done.push_back(d);
      });
  EXPECT_EQ(result, kDownloadOk);
  ASSERT_GT(done.size(), 1u);
  EXPECT_EQ(done.back(), static_cast<std::int32_t>(body.size())) << "the rest is read and counted";
  EXPECT_TRUE(Contents(Path("s")) == body.substr(0, static_cast<std::size_t>(done.front())));

  FileDownloader idle;
  idle.Stop();  // nothing open: nothing happens
  idle.Stop();
  EXPECT_EQ(idle.OutputFile(), 0);
  EXPECT_TRUE(idle.Url().empty());
}

TEST_F(FileDownloaderTest, CompressedBodiesAreSavedDecoded) {
  const std::string body = ts::PatternBytes(70'000, 4);
  server_->Serve("/gzip", ts::GzipEncoded(body));
  server_->Serve("/deflate", ts::DeflateEncoded(body));
  for (const char* path : {"/gzip", "/deflate"}) {
    SCOPED_TRACE(path);
    FileDownloader downloader;
    ASSERT_EQ(Download(downloader, server_->Url(path), Path("z")), kDownloadOk);
    EXPECT_TRUE(Contents(Path("z")) == body);
    ASSERT_FALSE(calls_.empty());
    EXPECT_EQ(calls_.back().done, static_cast<std::int32_t>(body.size())) << "done counts decoded bytes";
  }
}

TEST_F(FileDownloaderTest, ErrorPagesAreSavedAndTheirStatusTold) {
  server_->Serve("/gone", ts::NotFoundHtml());
  FileDownloader downloader;
  ASSERT_EQ(Download(downloader, server_->Url("/gone"), Path("g")), kDownloadOk);
  EXPECT_EQ(Contents(Path("g")), ts::kNotFoundHtml);
  EXPECT_EQ(downloader.LastStatusCode(), 404);
  EXPECT_EQ(downloader.LastAnnouncedLength(), ts::kNotFoundHtml.size());
}

}  // namespace
}  // namespace velbrook
