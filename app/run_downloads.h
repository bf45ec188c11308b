#pragma once

#include <cstdint>

#include "base/text.h"

namespace velbrook {

class ProgramState;
class WindowOperations;

// What a run came to, for its callers; the user sees it in 标签2 and in the message box.
struct RunSummary {
  int takenUp = 0;  // list items taken up by this run
  int failed = 0;   // songs that had no file before the run and have none after it
};

// The start command. Unless 按钮2 reads "开始下载" or the user cancels the folder browser, it takes
// up every item of 列表框1 in order: asks the resolver on `resolverHost` for the song's media URL and,
// unless the song's file exists, saves the song in the chosen folder. It ends with the closing count
// in 标签2 and a message box that also tells how many songs failed.
RunSummary RunDownloads(WindowOperations& window, ProgramState& state, const Text& resolverHost);

// The progress routine of a run: writes "已下载：" done "  总大小" total into 标签3 and repaints it
// now. `elapsed` and `received` are not shown.
void ShowProgress(WindowOperations& window, std::int32_t total, std::int32_t done, std::int32_t elapsed,
                  std::int32_t received);

}  // namespace velbrook
