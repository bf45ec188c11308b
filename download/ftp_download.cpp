#include <string_view>

#include "download/file_downloader.h"
#include "download/ftp_location.h"
#include "download/scoped_internet_handle.h"
#include "web/internet.h"

namespace velbrook {
namespace {

constexpr char kFtpAgent[] = "FTP CLIENT";
constexpr char kDefaultUser[] = "Anonymous";
constexpr char kDefaultPassword[] = "nobody@";
constexpr std::string_view kFtpScheme = "ftp";

// A handle counts only when it reads as a positive signed 32-bit number.
bool Obtained(inet::Handle handle) { return static_cast<std::int32_t>(handle) >= 1; }

bool IsSchemeChar(char c, bool first) {
  const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
  return letter || (!first && ((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.'));
}

// Whether the URL begins with a scheme other than the lower-case "ftp://" that SplitFtpUrl takes
// off. Such a URL would otherwise name a server called after its scheme ("http", or "FTP").
bool NamesAnotherScheme(std::string_view url) {
  const std::size_t end = url.find("://");
  if (end == std::string_view::npos || end == 0) return false;
  for (std::size_t i = 0; i < end; ++i) {
    if (!IsSchemeChar(url[i], i == 0)) return false;  // a plain server path with "://" further on
  }
  return url.substr(0, end) != kFtpScheme;
}

}  // namespace

std::int32_t FileDownloader::DownloadFtp(const Text& url, const Text& targetPath, std::optional<Text> user,
                                         std::optional<Text> password, ProgressCallback progress,
                                         std::optional<std::int32_t> startPosition) {
  url_ = url;
  const Text userName = user.value_or(kDefaultUser);
  const Text secret = password.value_or(kDefaultPassword);
  const FtpLocation location = SplitFtpUrl(url_);
  const Text remotePath = location.Directory + UrlFileName(url_);

  const ScopedInternetHandle session(inet::Open(kFtpAgent, inet::kOpenTypeDirect, "", "", 0));
  if (session.Get() == 0) return kDownloadNoInternet;
  if (NamesAnotherScheme(url_)) return kDownloadOpenUrlFailed;
  const ScopedInternetHandle connection(
      inet::Connect(session.Get(), location.Host, location.Port, userName, secret, inet::kServiceFtp, 0));
  if (connection.Get() == 0) return kDownloadOpenUrlFailed;

  std::uint32_t total = 0;
  {
    // The find handle is done with once the size is known, so it closes before the file opens.
    inet::FtpFindData found;
    const ScopedInternetHandle find(inet::FtpFindFirstFile(connection.Get(), remotePath, &found, 0));
    if (!Obtained(find.Get())) return kDownloadOutputFailed;
    total = found.FileSizeLow();
  }
  const ScopedInternetHandle file(
      inet::FtpOpenFile(connection.Get(), remotePath, inet::kGenericRead, inet::kFlagRawData));
  if (!Obtained(file.Get())) return kDownloadReadFailed;

  const std::int32_t start = startPosition.value_or(0);
  if (startPosition) {
    outputFile_ = OpenOrCreateFile(targetPath);
    SeekFileToEnd(outputFile_);
    if (inet::SetFilePointer(file.Get(), start) == -1) {
      // Nothing has been written; the file is left as it was, and closed.
      CloseFile(outputFile_);
      return kDownloadSeekFailed;
    }
  } else {
    outputFile_ = CreateOrTruncateFile(targetPath);
  }
  if (outputFile_ == 0) return kDownloadFtpOutputFailed;
  return ReadLoop(file.Get(), total, start, progress);
}

}  // namespace velbrook
