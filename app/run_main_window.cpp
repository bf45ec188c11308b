#include "app/run_main_window.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include "app/main_window.h"
#include "json/json_document.h"

namespace velbrook {

int RunMainWindow(ProgramState& state, const ProgramSettings& settings, Dialogs& dialogs) {
  QApplication::setQuitOnLastWindowClosed(true);
  // The window speaks Chinese, so Qt's own dialog texts (the folder chooser's buttons and labels, the
  // message box's OK) do too. Without the translation files Qt's English texts stay.
  QTranslator qtTexts;
  if (qtTexts.load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QApplication::installTranslator(&qtTexts);
  }
  MainWindow window(state, settings, dialogs);
  window.show();
  return QApplication::exec();
}

void StartScriptEngine() { const JsonDocument engineStart; }

}  // namespace velbrook
