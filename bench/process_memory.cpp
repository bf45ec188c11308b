#include "bench/process_memory.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

namespace velbrook::bench {
namespace {

constexpr char kStatusPath[] = "/proc/self/status";
constexpr char kClearRefsPath[] = "/proc/self/clear_refs";
// Writing this code to clear_refs resets the peak resident set to the current one.
constexpr char kResetPeakCode[] = "5";

std::optional<std::int64_t> StatusFieldKib(const char* field) {
  std::ifstream status(kStatusPath);
  const std::size_t fieldLength = std::strlen(field);
  std::string line;
  while (std::getline(status, line)) {
    if (line.compare(0, fieldLength, field) != 0 || line.size() <= fieldLength || line[fieldLength] != ':') {
      continue;
    }
    char* end = nullptr;
    const long long value = std::strtoll(line.c_str() + fieldLength + 1, &end, 10);
    if (end == line.c_str() + fieldLength + 1) return std::nullopt;
    return value;
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::int64_t> ResidentKib() { return StatusFieldKib("VmRSS"); }

std::optional<std::int64_t> PeakResidentKib() { return StatusFieldKib("VmHWM"); }

bool ResetPeakResident() {
  std::ofstream clearRefs(kClearRefsPath);
  clearRefs << kResetPeakCode;
  clearRefs.flush();
  return static_cast<bool>(clearRefs);
}

}  // namespace velbrook::bench
