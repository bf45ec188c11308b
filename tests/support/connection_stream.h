#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "tests/support/stop_signal.h"

namespace velbrook::test_support {

using Clock = std::chrono::steady_clock;

// A server-side TLS configuration: one certificate and its key.
class TlsContext {
 public:
  // nullptr when the files cannot be loaded.
  static std::unique_ptr<TlsContext> Load(const std::string& certificatePath, const std::string& keyPath);
  ~TlsContext();

 private:
  friend class ConnectionStream;
  struct State;
  explicit TlsContext(std::unique_ptr<State> state);
  std::unique_ptr<State> state_;
};

enum class ReadStatus { kData, kClosed, kTimeout, kFailed };

// One accepted connection, plain or TLS, over a non-blocking socket. Every wait is bounded by a
// deadline and ends early when the server stops.
class ConnectionStream {
 public:
  // Takes ownership of `fd`. `tls` (which must outlive the stream) makes it a TLS connection.
  ConnectionStream(int fd, const TlsContext* tls, StopSignal& stop);
  ~ConnectionStream();
  ConnectionStream(const ConnectionStream&) = delete;
  ConnectionStream& operator=(const ConnectionStream&) = delete;

  bool IsTls() const;
  int Fd() const;
  // Performs the TLS handshake (nothing for plain connections).
  bool Handshake(Clock::time_point deadline);
  // Appends what arrives (at most `maxBytes`) to `out`.
  ReadStatus ReadSome(std::string& out, std::size_t maxBytes, Clock::time_point deadline);
  // Whether TLS holds decrypted bytes that a poll on the socket would not show.
  bool HasBufferedInput() const;
  // Writes everything; false when the peer is gone, does not read for too long, or the server stops.
  bool WriteAll(std::string_view data);
  // An orderly end (TLS close_notify, then FIN), or an abrupt one (RST).
  void Close();
  void Reset();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// Connects to 127.0.0.1:`port`; a non-blocking socket, or -1.
int ConnectLoopback(int port, std::chrono::milliseconds timeout);
bool SetNonBlocking(int fd);
// Waits until `fd` is readable (or writable); false on timeout, error or stop.
bool WaitForFd(int fd, bool forWrite, Clock::time_point deadline, const StopSignal& stop);

}  // namespace velbrook::test_support
