#include "download/file_downloader.h"

#include <string>
#include <vector>

#include "download/scoped_internet_handle.h"
#include "web/internet.h"

namespace velbrook {
namespace {

constexpr std::uint32_t kReadBufferBytes = 10240;
constexpr std::int32_t kElapsedWhenZero = 10;

constexpr char kRequestHeaders[] =
    "Accept: */*\r\nAccept-Language: zh-cn\r\nAccept-Encoding: gzip, deflate\r\n"
    "User-Agent: Mozilla/4.0(compatible; MSIE 6.0; Windows NT 5.0; MyIE2; .NET CLR 1.1.4322)";
constexpr char kRangePrefix[] = "\r\nRange:bytes=";

// The body comes decoded: the request advertises gzip and deflate, so the file must hold the
// resource rather than its transfer coding.
constexpr std::uint32_t kOpenUrlFlags =
    inet::kFlagReload | inet::kFlagNoCacheWrite | inet::kFlagPragmaNoCache | inet::kFlagDecodeContent;

std::string RequestHeaders(std::optional<std::int32_t> startPosition) {
  std::string headers = kRequestHeaders;
  if (startPosition) headers += kRangePrefix + std::to_string(*startPosition) + "-";
  return headers;
}

}  // namespace

FileDownloader::FileDownloader(TickSource ticks) : ticks_(std::move(ticks)) {
  if (!ticks_) ticks_ = MonotonicTickCount;
}

// Closing a file that is already closed does nothing, so the destructor may always close it.
FileDownloader::~FileDownloader() { CloseFile(outputFile_); }

void FileDownloader::Stop() { CloseFile(outputFile_); }

std::int32_t FileDownloader::DownloadHttp(const Text& url, const Text& targetPath, ProgressCallback progress,
                                          std::optional<std::int32_t> startPosition) {
  url_ = url;
  lastStatusCode_ = 0;
  lastAnnouncedLength_.reset();

  std::uint32_t connectionFlags = 0;
  (void)inet::GetConnectedState(&connectionFlags);  // only the flags word matters
  const std::string agent = "Agent" + std::to_string(static_cast<std::int32_t>(ticks_()));
  const std::uint32_t accessType = (connectionFlags & inet::kConnectionProxy) != 0
                                       ? inet::kOpenTypePreconfig
                                       : inet::kOpenTypePreconfigNoAutoproxy;
  const ScopedInternetHandle session(inet::Open(agent, accessType, "", "", 0));
  if (session.Get() == 0) return kDownloadNoInternet;

  const std::string headers = RequestHeaders(startPosition);
  const ScopedInternetHandle file(
      inet::OpenUrl(session.Get(), url_, headers.data(), headers.size(), kOpenUrlFlags));
  if (file.Get() == 0) return kDownloadOpenUrlFailed;
  lastStatusCode_ = inet::HttpStatusCode(file.Get());
  lastAnnouncedLength_ = inet::HttpAnnouncedLength(file.Get());

  const std::int32_t start = startPosition.value_or(0);
  if (startPosition) {
    outputFile_ = OpenOrCreateFile(targetPath);
    SeekFileToEnd(outputFile_);
  } else {
    outputFile_ = CreateOrTruncateFile(targetPath);
  }
  if (outputFile_ == 0) return kDownloadOutputFailed;

  std::uint32_t contentLength = 0;
  if (!inet::HttpQueryContentLength(file.Get(), &contentLength)) contentLength = 0;
  return ReadLoop(file.Get(), contentLength + static_cast<std::uint32_t>(start), start, progress);
}

std::int32_t FileDownloader::ReadLoop(inet::Handle source, std::uint32_t total, std::int32_t start,
                                      const ProgressCallback& progress) {
  const std::uint32_t startTick = ticks_();
  const auto startDone = static_cast<std::uint64_t>(static_cast<std::int64_t>(start));
  std::uint64_t done = startDone;
  std::vector<std::uint8_t> buffer(kReadBufferBytes);
  for (;;) {
    std::uint32_t count = 0;
    if (!inet::ReadFile(source, buffer.data(), kReadBufferBytes, &count)) {
      CloseFile(outputFile_);
      return kDownloadReadFailed;
    }
    if (count == 0) {
      CloseFile(outputFile_);
      return kDownloadOk;
    }
    // A failed write (a full disk, a file closed by Stop) does not end the download.
    (void)WriteFile(outputFile_, buffer.data(), count);
    done += count;
    const std::uint32_t elapsed = ticks_() - startTick;
    if (progress) {
      progress(static_cast<std::int32_t>(total), static_cast<std::int32_t>(static_cast<std::uint32_t>(done)),
               elapsed == 0 ? kElapsedWhenZero : static_cast<std::int32_t>(elapsed),
               static_cast<std::int32_t>(static_cast<std::uint32_t>(done - startDone)));
    }
  }
}

}  // namespace velbrook
