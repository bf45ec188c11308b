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

// The size of a remote file, or nullopt when it cannot be looked up (missing, no log-in).
std::optional<std::uint64_t> RemoteFileSize(const Connection& connection, const std::string& url) {
  detail::TransferSetup setup = FtpSetup(connection, url);
  setup.ftpNoBody = true;
  std::unique_ptr<detail::Transfer> transfer = detail::Transfer::Create(setup);
  if (!transfer || !transfer->Finish()) return std::nullopt;
  return transfer->RemoteSize();
}

}  // namespace

namespace detail {

bool FtpLogInWorks(const Connection& connection) {
  const std::optional<std::string> url = FtpUrl(connection, "");
  if (!url) return false;
  TransferSetup setup = FtpSetup(connection, *url);
  setup.ftpNoBody = true;
  std::unique_ptr<Transfer> transfer = Transfer::Create(setup);
  return transfer && transfer->Finish();
}

}  // namespace detail

Handle FtpFindFirstFile(Handle connection, const Text& remotePath, FtpFindData* data, std::uint32_t flags) {
  (void)flags;  // the callers pass 0
  const Connection* owner = FtpConnection(connection);
  const std::optional<std::string> url = owner ? FtpUrl(*owner, remotePath) : std::nullopt;
  if (!url) return 0;
  const std::optional<std::uint64_t> size = RemoteFileSize(*owner, *url);
  if (!size) return 0;
  auto found = std::make_unique<detail::FtpFind>();
  found->data.fileSize = *size;
  if (data != nullptr) *data = found->data;
  return detail::InsertHandle(connection, std::move(found));
}

Handle FtpOpenFile(Handle connection, const Text& remotePath, std::uint32_t access, std::uint32_t flags) {
  (void)flags;  // binary transfers are the only kind the layer makes
  const Connection* owner = FtpConnection(connection);
  const std::optional<std::string> url = owner ? FtpUrl(*owner, remotePath) : std::nullopt;
  // The look-up makes a missing file fail here, as opening it does on the platform.
  if (!url || (access & kGenericRead) == 0 || !RemoteFileSize(*owner, *url)) return 0;
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
