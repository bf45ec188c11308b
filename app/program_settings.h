#pragma once

#include "base/text.h"

namespace velbrook {

// The build-time settings that the window receives from main, so that tests can point it at
// servers of their own.
struct ProgramSettings {
  Text playlistHost;  // serves the "/playlist?id=" pages
  Text resolverHost;  // serves "/music/api.php"
  Text titleDomain;   // shown in the window title after "Velbrook "
};

}  // namespace velbrook
