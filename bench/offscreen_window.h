#pragma once

#include <QString>

#include <memory>

#include "app/dialogs.h"
#include "app/main_window.h"
#include "app/program_state.h"

namespace velbrook::bench {

// Dialogs for a benchmark: the folder browser gives a prepared folder and the message box closes at
// once, keeping what it was asked to show.
class PreparedDialogs : public Dialogs {
 public:
  Text folder;
  Text lastMessage;

  Text BrowseForFolder(const Text& /*title*/) override { return folder; }
  void ShowMessage(const Text& text) override { lastMessage = text; }
};

// The real main window, shown offscreen and painted once, pointed at local services. A
// QApplication must exist first.
class OffscreenWindow {
 public:
  OffscreenWindow(const Text& playlistHost, const Text& resolverHost);

  MainWindow& Window() { return *window_; }
  PreparedDialogs& PreparedDialogsOf() { return dialogs_; }

  // Runs the window's pending events, so that what follows starts from an idle, painted window.
  void Settle();

  // Clicks the named button and gives how long its handler ran, in milliseconds; a negative value
  // when the window has no such button.
  double ClickMs(const QString& buttonName);

 private:
  ProgramState state_;
  PreparedDialogs dialogs_;
  std::unique_ptr<MainWindow> window_;
};

// Seconds since an arbitrary start, from a monotonic clock.
double MonotonicSeconds();

// Makes Qt draw offscreen unless the caller chose a platform.
void UseOffscreenPlatformByDefault();

}  // namespace velbrook::bench
