#pragma once

#include <cstdint>
#include <functional>

namespace velbrook {

// Milliseconds from a monotonic clock, wrapping modulo 2^32, like the platform's tick counter.
std::uint32_t MonotonicTickCount();

// Where a component reads its ticks from. Components take one of these so that tests can replace the
// clock; the default is MonotonicTickCount.
using TickSource = std::function<std::uint32_t()>;

}  // namespace velbrook
