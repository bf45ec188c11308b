#include "app/run_main_window.h"

#include <QApplication>

#include "app/main_window.h"

namespace velbrook {

int RunMainWindow(ProgramState& state, const ProgramSettings& settings, Dialogs& dialogs) {
  QApplication::setQuitOnLastWindowClosed(true);
  MainWindow window(state, settings, dialogs);
  window.show();
  return QApplication::exec();
}

}  // namespace velbrook
