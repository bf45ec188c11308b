#include <string>

#include "web/internet.h"
#include "web/internet_handle_table.h"
#include "web/internet_url_policy.h"

namespace velbrook::inet {
namespace {

using detail::Connection;
using detail::Request;

constexpr int kDefaultFtpPort = 21;

// The URL of a remote path. Curl takes a URL path as relative to the log-in directory; "%2F" as its
// first segment makes an absolute remote path absolute on the server too.
std::optional<std::string> FtpUrl(const Connection& connection, const Text& remotePath) {
  const int port = connection.port > 0 ? connection.port : kDefaultFtpPort;
  std::string url = "ftp://" + connection.host + ":" + std::to_string(port) + "/";
  url += (!remotePath.empty() && remotePath[0] == '/') ? "%2F" + remotePath.substr(1) : remotePath;
  return detail::CheckedUrl(url, {"ftp"});
}

const Connection* FtpConnection(Handle connection) {
  const Connection* owner = detail::Find<Connection>(connection);
  return (owner != nullptr && owner->service == kServiceFtp) ? owner : nullptr;
}

detail::TransferSetup FtpSetup(const Connection& connection, std::string url) {
  detail::TransferSetup setup;
  setup.ftp = true;
  setup.url = std::move(url);
  setup.user = connection.user;
  setup.password = connection.password;
  setup.proxyMode = detail::ProxyMode::kNone;
  return setup;
}

}  // namespace

namespace detail {

bool FtpLogInWorks(const Connection& connection) {
  const std::optional<std::string> url = FtpUrl(connection, "");
  if (!url) return false;
  TransferSetup setup = FtpSetup(connection, *url);
  setup.ftpNoBody = true;
  std::unique_ptr<Transfer> transfer = Transfer::Create(setup);
  std::uint32_t unused = 0;
  char none = 0;
  // With no body the first read runs the whole log-in and ends it.
  return transfer && transfer->Start() && transfer->Read(&none, 0, &unused);
}

}  // namespace detail

Handle FtpFindFirstFile(Handle connection, const Text& remotePath, FtpFindData* data, std::uint32_t flags) {
  (void)flags;  // the callers pass 0
  const Connection* owner = FtpConnection(connection);
  const std::optional<std::string> url = owner ? FtpUrl(*owner, remotePath) : std::nullopt;
  if (!url) return 0;
  detail::TransferSetup setup = FtpSetup(*owner, *url);
  setup.ftpNoBody = true;
  std::unique_ptr<detail::Transfer> transfer = detail::Transfer::Create(setup);
  std::uint32_t unused = 0;
  char none = 0;
  if (!transfer || !transfer->Start() || !transfer->Read(&none, 0, &unused) || !transfer->RemoteSize()) {
    return 0;
  }
  auto found = std::make_unique<detail::FtpFind>();
  found->data.fileSize = *transfer->RemoteSize();
  if (data != nullptr) *data = found->data;
  return detail::InsertHandle(connection, std::move(found));
}

Handle FtpOpenFile(Handle connection, const Text& remotePath, std::uint32_t access, std::uint32_t flags) {
  (void)flags;  // binary transfers are the only kind the layer makes
  const Connection* owner = FtpConnection(connection);
  const std::optional<std::string> url = owner ? FtpUrl(*owner, remotePath) : std::nullopt;
  if (!url || (access & kGenericRead) == 0) return 0;
  auto file = std::make_unique<Request>();
  file->session = owner->session;
  file->setup = FtpSetup(*owner, *url);
  return detail::InsertHandle(connection, std::move(file));
}

std::int32_t SetFilePointer(Handle file, std::int32_t offset) {
  Request* target = detail::Find<Request>(file);
  if (target == nullptr || !target->setup.ftp || target->transfer || offset < 0) return -1;
  target->setup.resumeFrom = static_cast<std::uint64_t>(offset);
  return offset;
}

}  // namespace velbrook::inet
