#include <time.h>

#include "base/ticks.h"

namespace velbrook {

std::uint32_t MonotonicTickCount() {
  timespec now{};
  (void)clock_gettime(CLOCK_MONOTONIC, &now);  // CLOCK_MONOTONIC cannot fail on Linux
  auto ms =
      static_cast<std::uint64_t>(now.tv_sec) * 1000u + static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
  return static_cast<std::uint32_t>(ms);
}

}  // namespace velbrook
