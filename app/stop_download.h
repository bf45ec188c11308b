#pragma once

namespace velbrook {

class ProgramState;

// The stop command: closes the file that GlobalDownloader opened last. Handled only between runs, so
// that file is already closed and nothing changes.
void StopDownload(ProgramState& state);

}  // namespace velbrook
