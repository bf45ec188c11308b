#include "app/program_state.h"

#include <utility>

#include "download/file_downloader.h"

namespace velbrook {

ProgramState::ProgramState(DownloaderDestroyedHook onDownloaderDestroyed)
    : globalDownloader_(std::make_unique<FileDownloader>()),
      onDownloaderDestroyed_(std::move(onDownloaderDestroyed)) {}

ProgramState::~ProgramState() {
  globalDownloader_.reset();
  if (onDownloaderDestroyed_) onDownloaderDestroyed_();
}

}  // namespace velbrook
