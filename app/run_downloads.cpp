#include "app/run_downloads.h"

#include <string>

#include "app/command_texts.h"
#include "app/program_state.h"
#include "app/save_song.h"
#include "app/song_file_name.h"
#include "app/window_operations.h"
#include "base/local_file.h"
#include "download/file_downloader.h"
#include "json/json_document.h"
#include "web/visit_web_page.h"

namespace velbrook {
namespace {

constexpr char kResolverPath[] = "/music/api.php?source=netease&types=url&id=";
constexpr char kMediaUrlMember[] = "url";

Text ResolverUrl(const Text& resolverHost, std::int64_t songId) {
  return "http://" + resolverHost + kResolverPath + std::to_string(songId);
}

// Takes up one list item; true when its song failed.
bool TakeUpItem(WindowOperations& window, ProgramState& state, const Text& resolverHost, const Text& folder,
                JsonDocument& answer, int index) {
  const Text line = window.ListItemText(index);
  window.SetCaption(Control::标签2, AnsiText(kProcessingPrefix) + line + AnsiText(kProcessingSuffix));
  window.RepaintNow(Control::标签2);
  state.SetProcessedCount(state.ProcessedCount() + 1);

  // An answer that is not JSON leaves the document null, and the media URL empty.
  (void)answer.Parse(TextUpToZero(VisitWebPage(ResolverUrl(resolverHost, window.ListItemValue(index)))));
  const Text targetPath = SongTargetPath(folder, window.ListItemText(index));
  if (PathExists(targetPath)) return false;

  const ProgressCallback progress = [&window](std::int32_t total, std::int32_t done, std::int32_t elapsed,
                                              std::int32_t received) {
    ShowProgress(window, total, done, elapsed, received);
  };
  const SaveOutcome outcome =
      SaveSong(state.GlobalDownloader(), answer.GetText(kMediaUrlMember), targetPath, progress);
  // A file that appeared under the name meanwhile is there for the user all the same.
  return outcome != SaveOutcome::kSaved && !PathExists(targetPath);
}

Text FinishedMessage(int failed) {
  Text message = AnsiText(kFinishedMessage);
  if (failed > 0) {
    message += '\n';
    message += AnsiText(kFailedCountPrefix);
    message += std::to_string(failed);
    message += AnsiText(kFailedCountSuffix);
  }
  return message;
}

}  // namespace

RunSummary RunDownloads(WindowOperations& window, ProgramState& state, const Text& resolverHost) {
  JsonDocument answer;  // one script engine serves every song of the run
  RunSummary summary;
  if (window.Caption(Control::按钮2) == AnsiText(kReadyCaption)) {
    const Text folder = window.BrowseForFolder(AnsiText(kFolderBrowserTitle));
    if (!folder.empty()) {
      const int count = window.ListCount();
      for (int i = 0; i < count; ++i) {
        ++summary.takenUp;
        if (TakeUpItem(window, state, resolverHost, folder, answer, i)) ++summary.failed;
      }
    }
  }
  window.SetCaption(Control::标签2, AnsiText(kClosingPrefix) + std::to_string(state.ProcessedCount()) +
                                        AnsiText(kClosingSuffix));
  window.ShowMessage(FinishedMessage(summary.failed));
  return summary;
}

void ShowProgress(WindowOperations& window, std::int32_t total, std::int32_t done, std::int32_t /*elapsed*/,
                  std::int32_t /*received*/) {
  // Called once per chunk: the fixed parts are converted once.
  static const Text donePrefix = AnsiText(kProgressDonePrefix);
  static const Text totalPrefix = AnsiText(kProgressTotalPrefix);
  window.SetCaption(Control::标签3, donePrefix + std::to_string(done) + totalPrefix + std::to_string(total));
  window.RepaintNow(Control::标签3);
}

}  // namespace velbrook
