#include "app/save_song.h"

#include <optional>

#include "app/song_file_name.h"
#include "app/staging_file.h"

namespace velbrook {
namespace {

constexpr int kFirstSuccessStatus = 200;
constexpr int kFirstNonSuccessStatus = 300;
constexpr int kPartialContentStatus = 206;

// The whole song is asked for, without a range, so a 206 carries only a piece of it, however
// complete that piece arrives.
bool IsWholeSongStatus(int status) {
  return status >= kFirstSuccessStatus && status < kFirstNonSuccessStatus && status != kPartialContentStatus;
}

}  // namespace

SaveOutcome SaveSong(FileDownloader& downloader, const Text& mediaUrl, const Text& targetPath,
                     const ProgressCallback& progress) {
  const Text partialPath = targetPath + kPartialSuffix;
  // Removed rather than truncated, so that a link left under that name cannot lead the write elsewhere.
  (void)RemoveEntry(partialPath);  // one that cannot be removed makes the download fail to open it

  // The done count of the progress calls wraps at 32 bits; the step from one call to the next is a
  // chunk, so the steps add up to the full count.
  std::uint64_t received = 0;
  std::uint32_t lastDone = 0;
  const ProgressCallback counting = [&](std::int32_t total, std::int32_t done, std::int32_t elapsed,
                                        std::int32_t chunk) {
    received += static_cast<std::uint32_t>(done) - lastDone;
    lastDone = static_cast<std::uint32_t>(done);
    if (progress) progress(total, done, elapsed, chunk);
  };

  // A body shorter than its announced length already fails the download itself: the Internet layer
  // checks the bytes that came over the wire. The file is not compared with the announced length,
  // which counts encoded bytes when the body came gzip- or deflate-encoded.
  SaveOutcome outcome = SaveOutcome::kSaved;
  if (downloader.DownloadHttp(mediaUrl, partialPath, counting) != kDownloadOk) {
    outcome = SaveOutcome::kDownloadFailed;
  } else if (!IsWholeSongStatus(downloader.LastStatusCode())) {
    outcome = SaveOutcome::kHttpError;
  } else if (received == 0) {
    // An empty file would count as the song in every later run, which would never fetch it again.
    outcome = SaveOutcome::kEmpty;
  } else if (RegularFileSize(partialPath) != std::optional<std::uint64_t>(received)) {
    outcome = SaveOutcome::kIncomplete;
  } else if (!MoveWithoutReplacing(partialPath, targetPath)) {
    outcome = SaveOutcome::kNotMoved;
  }
  if (outcome != SaveOutcome::kSaved) (void)RemoveEntry(partialPath);  // nothing else can be done about it
  return outcome;
}

}  // namespace velbrook
