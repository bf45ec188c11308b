#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <optional>

#include "app/display_check.h"
#include "app/program_settings.h"
#include "app/program_state.h"
#include "app/qt_dialogs.h"
#include "app/run_main_window.h"
#include "base/code_page.h"

namespace {

velbrook::ProgramSettings BuiltInSettings() {
  return velbrook::ProgramSettings{velbrook::Utf8ToText(VELBROOK_PLAYLIST_HOST),
                                   velbrook::Utf8ToText(VELBROOK_RESOLVER_HOST),
                                   velbrook::Utf8ToText(VELBROOK_TITLE_DOMAIN)};
}

}  // namespace

int main(int argc, char** argv) {
  if (const std::optional<std::string> reason =
          velbrook::MissingDisplayReason([](const char* name) { return std::getenv(name); })) {
    std::fprintf(stderr, "velbrook: %s\n", reason->c_str());
    return 1;
  }
  std::optional<QApplication> application;
  {
    const velbrook::FatalStartupGuard guard;  // while the window system is being reached
    application.emplace(argc, argv);
  }

  velbrook::ProgramState state;  // GlobalDownloader, before the window is shown
  velbrook::StartScriptEngine();
  velbrook::QtDialogs dialogs;
  return velbrook::RunMainWindow(state, BuiltInSettings(), dialogs);
}
