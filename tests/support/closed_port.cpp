#include "tests/support/closed_port.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace velbrook::test_support {

ClosedPort::ClosedPort() {
  fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd_ < 0) {
    return;
  }
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t size = sizeof(address);
  if (::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
      ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    return;
  }
  // Bound but never listening: the kernel refuses every connection to this port.
  port_ = ntohs(address.sin_port);
}

ClosedPort::~ClosedPort() {
  if (fd_ >= 0) {
    (void)::close(fd_);  // nothing to recover at teardown
  }
}

std::string ClosedPort::Url(const std::string& pathAndQuery) const {
  return "http://127.0.0.1:" + std::to_string(port_) + pathAndQuery;
}

}  // namespace velbrook::test_support
