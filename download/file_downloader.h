#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "base/local_file.h"
#include "base/text.h"
#include "base/ticks.h"

namespace velbrook {

// Called once after each non-empty chunk has been handed to the output file:
// (total, done, elapsed milliseconds, received). An empty function means no progress calls.
using ProgressCallback =
    std::function<void(std::int32_t total, std::int32_t done, std::int32_t elapsed, std::int32_t received)>;

// Download result codes.
inline constexpr std::int32_t kDownloadOk = 0;
inline constexpr std::int32_t kDownloadNoInternet = -1;
inline constexpr std::int32_t kDownloadOpenUrlFailed = -2;    // FTP: no connection
inline constexpr std::int32_t kDownloadOutputFailed = -3;     // FTP: remote file not found
inline constexpr std::int32_t kDownloadReadFailed = -4;       // FTP also: remote file not opened
inline constexpr std::int32_t kDownloadSeekFailed = -5;       // FTP only
inline constexpr std::int32_t kDownloadFtpOutputFailed = -6;  // FTP only

// Copies an HTTP or FTP resource into a local file in chunks, with resume, progress and stop.
class FileDownloader {
 public:
  explicit FileDownloader(TickSource ticks = MonotonicTickCount);
  ~FileDownloader();
  FileDownloader(const FileDownloader&) = delete;
  FileDownloader& operator=(const FileDownloader&) = delete;

  std::int32_t DownloadHttp(const Text& url, const Text& targetPath, ProgressCallback progress = {},
                            std::optional<std::int32_t> startPosition = std::nullopt);

  std::int32_t DownloadFtp(const Text& url, const Text& targetPath, std::optional<Text> user = std::nullopt,
                           std::optional<Text> password = std::nullopt, ProgressCallback progress = {},
                           std::optional<std::int32_t> startPosition = std::nullopt);

  // Closes the file that the current or most recent download opened; nothing when it is closed.
  void Stop();

  const Text& Url() const { return url_; }
  FileHandle OutputFile() const { return outputFile_; }

  // What the last HTTP download's final response said: its status code (0 when there was none) and
  // the length it announced, if any.
  int LastStatusCode() const { return lastStatusCode_; }
  std::optional<std::uint64_t> LastAnnouncedLength() const { return lastAnnouncedLength_; }

 private:
  // Reads `source` (an Internet layer handle) to its end in chunks into the output file, with a
  // progress call after each chunk; closes the output file and gives the result code.
  std::int32_t ReadLoop(std::uint32_t source, std::uint32_t total, std::int32_t start,
                        const ProgressCallback& progress);

  TickSource ticks_;
  Text url_;
  FileHandle outputFile_ = 0;
  int lastStatusCode_ = 0;
  std::optional<std::uint64_t> lastAnnouncedLength_;
};

}  // namespace velbrook
