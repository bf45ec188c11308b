#include "web/internet_settings.h"

namespace velbrook::inet {
namespace {

Timeouts& MutableTimeouts() {
  static Timeouts timeouts;
  return timeouts;
}

std::string& MutableExtraCaFile() {
  static std::string path;
  return path;
}

}  // namespace

void SetTimeoutsForTesting(const Timeouts& timeouts) { MutableTimeouts() = timeouts; }

void SetExtraCaFileForTesting(const std::string& pemPath) { MutableExtraCaFile() = pemPath; }

namespace detail {

const Timeouts& CurrentTimeouts() { return MutableTimeouts(); }
const std::string& ExtraCaFile() { return MutableExtraCaFile(); }

}  // namespace detail
}  // namespace velbrook::inet
