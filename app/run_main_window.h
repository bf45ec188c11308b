#pragma once

namespace velbrook {

class Dialogs;
class ProgramState;
struct ProgramSettings;

// Shows the main window and runs the message loop until the window has been closed; every command
// runs inside this loop. Needs a QApplication. Gives the loop's exit status. The state outlives the
// call, so GlobalDownloader is destroyed only after the last command has ended.
int RunMainWindow(ProgramState& state, const ProgramSettings& settings, Dialogs& dialogs);

// Starts the script engine, which starts with the first document of the process and then stays, so
// that the first click that reads JSON does not wait for it. Called before the window is shown.
void StartScriptEngine();

}  // namespace velbrook
