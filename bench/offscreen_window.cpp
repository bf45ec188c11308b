#include "bench/offscreen_window.h"

#include <QCoreApplication>
#include <QPushButton>

#include <chrono>

#include "app/run_main_window.h"

namespace velbrook::bench {
namespace {

// Enough rounds for the first show, its layout and its paint to have gone through.
constexpr int kSettleRounds = 5;
constexpr char kTitleDomain[] = "bench.invalid";

}  // namespace

OffscreenWindow::OffscreenWindow(const Text& playlistHost, const Text& resolverHost)
    : window_(std::make_unique<MainWindow>(state_, ProgramSettings{playlistHost, resolverHost, kTitleDomain},
                                           dialogs_)) {
  StartScriptEngine();  // as the program does before it shows its window
  window_->show();
  Settle();
}

void OffscreenWindow::Settle() {
  for (int round = 0; round < kSettleRounds; ++round) QCoreApplication::processEvents();
}

double OffscreenWindow::ClickMs(const QString& buttonName) {
  auto* button = window_->findChild<QPushButton*>(buttonName);
  if (button == nullptr) return -1;
  const double start = MonotonicSeconds();
  button->click();
  return (MonotonicSeconds() - start) * 1000.0;
}

double MonotonicSeconds() {
  using Clock = std::chrono::steady_clock;
  return std::chrono::duration<double>(Clock::now().time_since_epoch()).count();
}

void UseOffscreenPlatformByDefault() {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
}

}  // namespace velbrook::bench
