#pragma once

#include <string>

namespace velbrook::test_support {

// A 127.0.0.1 port on which nothing listens: the object keeps a socket bound to it without listening,
// so no other program can take it meanwhile and every connection attempt is refused at once.
class ClosedPort {
 public:
  ClosedPort();
  ~ClosedPort();
  ClosedPort(const ClosedPort&) = delete;
  ClosedPort& operator=(const ClosedPort&) = delete;

  bool Ok() const { return port_ > 0; }
  int Port() const { return port_; }
  // "http://127.0.0.1:PORT" followed by `pathAndQuery`.
  std::string Url(const std::string& pathAndQuery = "/") const;

 private:
  int fd_ = -1;
  int port_ = 0;
};

}  // namespace velbrook::test_support
