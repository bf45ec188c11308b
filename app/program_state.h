#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace velbrook {

class FileDownloader;

// The state that lives for the whole run of the program and that the commands share: the one
// downloader of every download run, and the count of list items that runs have taken up. main
// creates it before the window and destroys it after the message loop has ended, which is after the
// last command has returned.
class ProgramState {
 public:
  // Called right after GlobalDownloader has been destroyed, so that a test can count destructions.
  using DownloaderDestroyedHook = std::function<void()>;

  explicit ProgramState(DownloaderDestroyedHook onDownloaderDestroyed = {});
  ~ProgramState();
  ProgramState(const ProgramState&) = delete;
  ProgramState& operator=(const ProgramState&) = delete;

  FileDownloader& GlobalDownloader() { return *globalDownloader_; }

  std::int32_t ProcessedCount() const { return processedCount_; }
  void SetProcessedCount(std::int32_t count) { processedCount_ = count; }

 private:
  std::unique_ptr<FileDownloader> globalDownloader_;
  DownloaderDestroyedHook onDownloaderDestroyed_;
  std::int32_t processedCount_ = 0;
};

}  // namespace velbrook
