#pragma once

#include <string>

#include "web/internet.h"

namespace velbrook::inet::detail {

// The timeouts and the extra trusted CA that every new transfer uses.
const Timeouts& CurrentTimeouts();
const std::string& ExtraCaFile();

}  // namespace velbrook::inet::detail
