#pragma once

#include <cstdint>

#include "base/text.h"
#include "download/file_downloader.h"

namespace velbrook {

// How a song's download ended.
enum class SaveOutcome {
  kSaved,           // the file now stands under its name
  kDownloadFailed,  // the downloader gave an error code (no connection, a failed or cut read, ...)
  kHttpError,       // the final response was not 2xx, or a 206 with a piece only: not the song
  kEmpty,           // the response carried no byte at all: nothing of a song
  kIncomplete,      // the file lacks bytes that the downloader received (a failed write)
  kNotMoved,        // the complete file could not take its name, for one because that name exists
};

// Downloads `mediaUrl` with `downloader` into `targetPath` + ".part" and gives the complete file the
// name `targetPath`, never replacing an existing file; after any other ending the temporary file is
// removed. A temporary file left by an earlier run is removed first. Every received chunk reaches
// `progress`.
SaveOutcome SaveSong(FileDownloader& downloader, const Text& mediaUrl, const Text& targetPath,
                     const ProgressCallback& progress);

}  // namespace velbrook
