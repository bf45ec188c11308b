#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <string_view>

// A plain POSIX socket client for the support self-tests, so that the server is checked without the
// HTTP client it exists to test.
namespace velbrook::test_support {

class RawClient {
 public:
  explicit RawClient(int port) {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    connected_ = fd_ >= 0 && ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    connectErrno_ = connected_ ? 0 : errno;
  }
  ~RawClient() {
    if (fd_ >= 0) {
      (void)::close(fd_);  // nothing to recover in a test client
    }
  }
  RawClient(const RawClient&) = delete;
  RawClient& operator=(const RawClient&) = delete;

  bool Connected() const { return connected_; }
  int Fd() const { return fd_; }
  int ConnectErrno() const { return connectErrno_; }

  bool Send(std::string_view data) {
    while (!data.empty()) {
      const ssize_t sent = ::send(fd_, data.data(), data.size(), MSG_NOSIGNAL);
      if (sent <= 0) {
        return false;
      }
      data.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
  }

  // Reads until the server closes, `limit` bytes have come, or nothing arrives for `quiet`.
  // closed() then tells whether the connection ended, reset() whether it ended with a reset.
  std::string Read(std::chrono::milliseconds quiet = std::chrono::milliseconds(3000),
                   std::size_t limit = std::string::npos) {
    std::string data;
    char buffer[65536];
    while (data.size() < limit) {
      pollfd entry{fd_, POLLIN, 0};
      if (::poll(&entry, 1, static_cast<int>(quiet.count())) <= 0) {
        return data;
      }
      const ssize_t got = ::recv(fd_, buffer, std::min(sizeof(buffer), limit - data.size()), 0);
      if (got <= 0) {
        closed_ = true;
        reset_ = got < 0 && errno == ECONNRESET;
        return data;
      }
      data.append(buffer, static_cast<std::size_t>(got));
    }
    return data;
  }

  // Reads until `marker` has arrived (or the connection ends or goes quiet).
  std::string ReadThrough(std::string_view marker,
                          std::chrono::milliseconds quiet = std::chrono::milliseconds(3000)) {
    std::string data;
    while (data.find(marker) == std::string::npos) {
      const std::string more = Read(quiet, 1);
      if (more.empty()) {
        break;
      }
      data += more;
    }
    return data;
  }

  bool closed() const { return closed_; }
  bool reset() const { return reset_; }

 private:
  int fd_ = -1;
  bool connected_ = false;
  int connectErrno_ = 0;
  bool closed_ = false;
  bool reset_ = false;
};

}  // namespace velbrook::test_support
