#pragma once

#include "web/internet.h"

namespace velbrook {

// Closes an Internet handle on every path out of a download.
class ScopedInternetHandle {
 public:
  explicit ScopedInternetHandle(inet::Handle handle) : handle_(handle) {}
  ~ScopedInternetHandle() {
    if (handle_ != 0) (void)inet::CloseHandle(handle_);  // false only when its parent closed it first
  }
  ScopedInternetHandle(const ScopedInternetHandle&) = delete;
  ScopedInternetHandle& operator=(const ScopedInternetHandle&) = delete;
  inet::Handle Get() const { return handle_; }

 private:
  inet::Handle handle_;
};

}  // namespace velbrook
