#pragma once

#include <functional>
#include <optional>
#include <string>

namespace velbrook {

// Reads an environment variable; null when it is not set.
using EnvironmentReader = std::function<const char*(const char*)>;

// Why the program cannot show a window here, or nothing when a display is named: DISPLAY,
// WAYLAND_DISPLAY or an explicit QT_QPA_PLATFORM (such as offscreen), each set and not empty.
std::optional<std::string> MissingDisplayReason(const EnvironmentReader& getEnvironment);

// While it lives, a fatal Qt message (the window system cannot be reached, for instance) ends the
// process with status 1 and a clear line on stderr instead of aborting it.
class FatalStartupGuard {
 public:
  FatalStartupGuard();
  ~FatalStartupGuard();
  FatalStartupGuard(const FatalStartupGuard&) = delete;
  FatalStartupGuard& operator=(const FatalStartupGuard&) = delete;
};

}  // namespace velbrook
