#pragma once

#include "tests/support/connection_stream.h"
#include "tests/support/response.h"
#include "tests/support/stop_signal.h"

namespace velbrook::test_support {

// Writes `response` to `stream`, with its pacing, stall and cut. `headOnly` leaves the body out (for
// HEAD requests); `closeAfter` closes the connection afterwards whatever the response says. True
// when the connection stays open for another request.
bool WriteResponse(ConnectionStream& stream, const Response& response, bool headOnly, bool closeAfter,
                   StopSignal& stop);

}  // namespace velbrook::test_support
