#include "tests/support/connection_stream.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <linux/sockios.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace velbrook::test_support {
namespace {

// Waits are cut into steps of this length so that a stopping server is noticed quickly.
constexpr int kPollStepMs = 50;
// A client that takes nothing of a response for this long is given up.
constexpr std::chrono::seconds kWriteStallLimit{30};
constexpr std::size_t kReadChunkBytes = 65536;
constexpr std::chrono::milliseconds kResetDrainLimit{500};

struct SslContextDeleter {
  void operator()(SSL_CTX* context) const { SSL_CTX_free(context); }
};
struct SslDeleter {
  void operator()(SSL* ssl) const { SSL_free(ssl); }
};

int StepMs(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return static_cast<int>(std::clamp<long long>(left, 0, kPollStepMs));
}

}  // namespace

struct TlsContext::State {
  std::unique_ptr<SSL_CTX, SslContextDeleter> context;
};

TlsContext::TlsContext(std::unique_ptr<State> state) : state_(std::move(state)) {}
TlsContext::~TlsContext() = default;

std::unique_ptr<TlsContext> TlsContext::Load(const std::string& certificatePath, const std::string& keyPath) {
  auto state = std::make_unique<State>();
  state->context.reset(SSL_CTX_new(TLS_server_method()));
  if (!state->context ||
      SSL_CTX_use_certificate_chain_file(state->context.get(), certificatePath.c_str()) != 1 ||
      SSL_CTX_use_PrivateKey_file(state->context.get(), keyPath.c_str(), SSL_FILETYPE_PEM) != 1 ||
      SSL_CTX_check_private_key(state->context.get()) != 1) {
    ERR_clear_error();
    return nullptr;
  }
  // Partial writes let a non-blocking write resume with the rest of the buffer.
  (void)SSL_CTX_set_mode(state->context.get(),
                         SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
  return std::unique_ptr<TlsContext>(new TlsContext(std::move(state)));
}

struct ConnectionStream::State {
  int fd = -1;
  std::unique_ptr<SSL, SslDeleter> ssl;
  StopSignal* stop = nullptr;
};

ConnectionStream::ConnectionStream(int fd, const TlsContext* tls, StopSignal& stop)
    : state_(std::make_unique<State>()) {
  state_->fd = fd;
  state_->stop = &stop;
  if (tls != nullptr) {
    state_->ssl.reset(SSL_new(tls->state_->context.get()));
    if (state_->ssl && SSL_set_fd(state_->ssl.get(), fd) != 1) {
      state_->ssl.reset();
    }
  }
}

ConnectionStream::~ConnectionStream() { Close(); }

bool ConnectionStream::IsTls() const { return state_->ssl != nullptr; }
int ConnectionStream::Fd() const { return state_->fd; }

bool ConnectionStream::Handshake(Clock::time_point deadline) {
  if (!state_->ssl) {
    return state_->fd >= 0;
  }
  while (true) {
    const int result = SSL_accept(state_->ssl.get());
    if (result == 1) {
      return true;
    }
    const int error = SSL_get_error(state_->ssl.get(), result);
    ERR_clear_error();
    if ((error != SSL_ERROR_WANT_READ && error != SSL_ERROR_WANT_WRITE) ||
        !WaitForFd(state_->fd, error == SSL_ERROR_WANT_WRITE, deadline, *state_->stop)) {
      return false;
    }
  }
}

bool ConnectionStream::HasBufferedInput() const { return state_->ssl && SSL_pending(state_->ssl.get()) > 0; }

ReadStatus ConnectionStream::ReadSome(std::string& out, std::size_t maxBytes, Clock::time_point deadline) {
  char buffer[kReadChunkBytes];
  const std::size_t want = std::min(maxBytes, sizeof(buffer));
  while (state_->fd >= 0) {
    bool wantWrite = false;
    if (state_->ssl) {
      const int result = SSL_read(state_->ssl.get(), buffer, static_cast<int>(want));
      if (result > 0) {
        out.append(buffer, static_cast<std::size_t>(result));
        return ReadStatus::kData;
      }
      const int error = SSL_get_error(state_->ssl.get(), result);
      ERR_clear_error();
      if (error == SSL_ERROR_ZERO_RETURN) {
        return ReadStatus::kClosed;
      }
      if (error != SSL_ERROR_WANT_READ && error != SSL_ERROR_WANT_WRITE) {
        // A peer that drops the connection without close_notify ends the stream all the same.
        return error == SSL_ERROR_SYSCALL ? ReadStatus::kClosed : ReadStatus::kFailed;
      }
      wantWrite = error == SSL_ERROR_WANT_WRITE;
    } else {
      const ssize_t result = ::recv(state_->fd, buffer, want, 0);
      if (result > 0) {
        out.append(buffer, static_cast<std::size_t>(result));
        return ReadStatus::kData;
      }
      if (result == 0) {
        return ReadStatus::kClosed;
      }
      if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
        return errno == ECONNRESET ? ReadStatus::kClosed : ReadStatus::kFailed;
      }
    }
    if (!WaitForFd(state_->fd, wantWrite, deadline, *state_->stop)) {
      return state_->stop->Stopping() ? ReadStatus::kFailed : ReadStatus::kTimeout;
    }
  }
  return ReadStatus::kFailed;
}

bool ConnectionStream::WriteAll(std::string_view data) {
  Clock::time_point deadline = Clock::now() + kWriteStallLimit;
  while (!data.empty() && state_->fd >= 0) {
    bool wantRead = false;
    long written = -1;
    if (state_->ssl) {
      const int size = static_cast<int>(std::min<std::size_t>(data.size(), 1 << 20));
      const int result = SSL_write(state_->ssl.get(), data.data(), size);
      if (result > 0) {
        written = result;
      } else {
        const int error = SSL_get_error(state_->ssl.get(), result);
        ERR_clear_error();
        if (error != SSL_ERROR_WANT_READ && error != SSL_ERROR_WANT_WRITE) {
          return false;
        }
        wantRead = error == SSL_ERROR_WANT_READ;
      }
    } else {
      const ssize_t result = ::send(state_->fd, data.data(), data.size(), MSG_NOSIGNAL);
      if (result > 0) {
        written = result;
      } else if (result < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
        return false;
      }
    }
    if (written > 0) {
      data.remove_prefix(static_cast<std::size_t>(written));
      deadline = Clock::now() + kWriteStallLimit;
    } else if (!WaitForFd(state_->fd, !wantRead, deadline, *state_->stop)) {
      return false;
    }
  }
  return data.empty();
}

void ConnectionStream::Close() {
  if (state_->fd < 0) {
    return;
  }
  if (state_->ssl) {
    // Best effort: a peer that is gone cannot take the close_notify, and nothing depends on it.
    (void)SSL_shutdown(state_->ssl.get());
    ERR_clear_error();
    state_->ssl.reset();
  }
  (void)::shutdown(state_->fd, SHUT_WR);  // the peer may already be gone
  (void)::close(state_->fd);              // nothing to recover from a failed close
  state_->fd = -1;
}

void ConnectionStream::Reset() {
  if (state_->fd < 0) {
    return;
  }
  // Lets what was written reach the peer first, so that a reset mid-body still delivers the bytes
  // sent before it; then a zero linger time makes close() send RST instead of FIN.
  const Clock::time_point drainDeadline = Clock::now() + kResetDrainLimit;
  int unsent = 0;
  while (::ioctl(state_->fd, SIOCOUTQ, &unsent) == 0 && unsent > 0 && Clock::now() < drainDeadline &&
         state_->stop->SleepFor(std::chrono::milliseconds(1))) {
  }
  linger option{1, 0};
  (void)::setsockopt(state_->fd, SOL_SOCKET, SO_LINGER, &option, sizeof(option));  // close still ends it
  state_->ssl.reset();
  (void)::close(state_->fd);  // nothing to recover from a failed close
  state_->fd = -1;
}

bool SetNonBlocking(int fd) {
  const int flags = ::fcntl(fd, F_GETFL, 0);
  return flags >= 0 && ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

bool WaitForFd(int fd, bool forWrite, Clock::time_point deadline, const StopSignal& stop) {
  while (!stop.Stopping()) {
    pollfd entry{fd, static_cast<short>(forWrite ? POLLOUT : POLLIN), 0};
    const int result = ::poll(&entry, 1, StepMs(deadline));
    if (result > 0) {
      return true;  // readiness, or an error or hang-up that the next call reports
    }
    if (result < 0 && errno != EINTR) {
      return false;
    }
    if (Clock::now() >= deadline) {
      return false;
    }
  }
  return false;
}

int ConnectLoopback(int port, std::chrono::milliseconds timeout) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) {
    return -1;
  }
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
    pollfd entry{fd, POLLOUT, 0};
    int error = 0;
    socklen_t size = sizeof(error);
    if (errno != EINPROGRESS || ::poll(&entry, 1, static_cast<int>(timeout.count())) != 1 ||
        ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0 || error != 0) {
      (void)::close(fd);  // the connection failed; the close result adds nothing
      return -1;
    }
  }
  return fd;
}

}  // namespace velbrook::test_support
