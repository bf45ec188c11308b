#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "tests/support/connection_stream.h"
#include "tests/support/recorded_request.h"
#include "tests/support/stop_signal.h"

namespace velbrook::test_support {

// The port of "127.0.0.1:P", "localhost:P" (or without ":P", `defaultPort`); nullopt for any other
// host, since tests reach nothing beyond loopback.
std::optional<int> LoopbackPort(std::string_view authority, int defaultPort);

// Sends an absolute-form http request on to its loopback target in origin-form, with
// "Connection: close", and relays the target's answer to `client` byte for byte until the target
// closes. Answers 502 itself when the target is not loopback or cannot be reached.
void ForwardRequest(ConnectionStream& client, const RecordedRequest& request, StopSignal& stop,
                    std::chrono::milliseconds idleTimeout);

// Answers a CONNECT with "200 Connection established" and relays bytes both ways between `client`
// and the loopback target until either side closes or nothing moves for `idleTimeout`. `pending`
// holds bytes the client sent after the CONNECT head.
void Tunnel(ConnectionStream& client, const RecordedRequest& request, const std::string& pending,
            StopSignal& stop, std::chrono::milliseconds idleTimeout);

}  // namespace velbrook::test_support
