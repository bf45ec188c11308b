#include "app/display_check.h"

#include <QString>
#include <QtGlobal>

#include <cstdio>
#include <cstdlib>

namespace velbrook {
namespace {

constexpr const char* kDisplayVariables[] = {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"};
constexpr int kStartupFailureStatus = 1;

QtMessageHandler previousHandler = nullptr;

void EndOnFatalMessage(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (type != QtFatalMsg) {
    if (previousHandler != nullptr) previousHandler(type, context, message);
    return;
  }
  const char* display = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  std::fprintf(stderr, "velbrook: cannot open a window on the display (DISPLAY=%s, WAYLAND_DISPLAY=%s)\n",
               display != nullptr ? display : "", wayland != nullptr ? wayland : "");
  std::fprintf(stderr, "velbrook: %s\n", qPrintable(message.section(QLatin1Char('\n'), 0, 0)));
  // Qt is half set up at this point: end without running any destructor.
  std::_Exit(kStartupFailureStatus);
}

}  // namespace

std::optional<std::string> MissingDisplayReason(const EnvironmentReader& getEnvironment) {
  for (const char* name : kDisplayVariables) {
    const char* value = getEnvironment(name);
    if (value != nullptr && *value != '\0') return std::nullopt;
  }
  return "no display: neither DISPLAY nor WAYLAND_DISPLAY is set (QT_QPA_PLATFORM=offscreen runs without "
         "one)";
}

FatalStartupGuard::FatalStartupGuard() { previousHandler = qInstallMessageHandler(EndOnFatalMessage); }

FatalStartupGuard::~FatalStartupGuard() { (void)qInstallMessageHandler(previousHandler); }

}  // namespace velbrook
