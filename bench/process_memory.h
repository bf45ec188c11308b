#pragma once

#include <cstdint>
#include <optional>

namespace velbrook::bench {

// This process's resident set now (VmRSS) and its peak (VmHWM), in KiB; nullopt when the kernel
// does not tell.
std::optional<std::int64_t> ResidentKib();
std::optional<std::int64_t> PeakResidentKib();

// Lowers the peak to the resident set of this moment, so that the next peak belongs to the work that
// follows. False when the kernel refuses.
bool ResetPeakResident();

}  // namespace velbrook::bench
