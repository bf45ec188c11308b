#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "web/internet.h"
#include "web/internet_transfer.h"

namespace velbrook::inet::detail {

// What a handle stands for. The layer is used from one thread, like the platform library's
// synchronous mode, so the table has no lock.
class Object {
 public:
  virtual ~Object() = default;
};

struct Session : Object {
  std::string agent;
  std::uint32_t accessType = kOpenTypeDirect;
  std::string proxyList;
  std::shared_ptr<CookieStore> cookies;
};

struct Connection : Object {
  Handle session = 0;
  std::string host;
  int port = 0;
  std::string user;
  std::string password;
  std::uint32_t service = kServiceHttp;
};

// Whether the connection's server accepts its user name and password (FTP).
bool FtpLogInWorks(const Connection& connection);

// An HTTP request opened on a connection or a URL opened on a session: both read a response body.
// An FTP file handle is one too; its transfer starts at the first read so that a restart offset can
// still be set.
struct Request : Object {
  Handle session = 0;
  TransferSetup setup;
  std::unique_ptr<Transfer> transfer;
};

struct FtpFind : Object {
  FtpFindData data;
};

// Registers `object` under `parent` (0 for a session). 0 when the parent is not open.
Handle InsertHandle(Handle parent, std::unique_ptr<Object> object);

Object* FindObject(Handle handle);

template <typename T>
T* Find(Handle handle) {
  return dynamic_cast<T*>(FindObject(handle));
}

// Closes the handle and, first, every handle opened under it. False for 0 or an unknown handle.
bool CloseHandleTree(Handle handle);

std::size_t HandleCount();

}  // namespace velbrook::inet::detail
