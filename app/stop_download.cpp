#include "app/stop_download.h"

#include "app/program_state.h"
#include "download/file_downloader.h"

namespace velbrook {

void StopDownload(ProgramState& state) { state.GlobalDownloader().Stop(); }

}  // namespace velbrook
