#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "web/internet.h"
#include "web/internet_handle_table.h"
#include "web/internet_url_policy.h"

namespace velbrook::inet {
namespace {

using detail::Connection;
using detail::Request;

constexpr int kDefaultFtpPort = 21;  // also for port 0
constexpr int kLargestPort = 65535;
constexpr char kHexDigits[] = "0123456789ABCDEF";

// An FTP file handle: a request whose transfer starts when the restart offset is set or at the first
// read, with the size that the look-up found when the file was opened.
struct FtpFile : Request {
  std::uint64_t size = 0;
};

// A host name or address goes into the URL as it is, so anything that would end the host part early
// or add a user, a path or a query to it is refused.
bool HostFitsUrl(std::string_view host) {
  if (host.empty()) return false;
  for (char c : host) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte >= 0x7F || std::string_view("/?#@[]\\%").find(c) != std::string_view::npos) {
      return false;
    }
  }
  return true;
}

// A remote path is a file name, not URL text: every byte that a URL path would read as something else
// ('%', '?', '#', ';' for curl's ";type=" and the like) is percent-encoded, and curl decodes it again.
bool KeptInPath(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
         std::string_view("-._~/!$&'()*+,=:@").find(c) != std::string_view::npos;
}

std::string EncodedPath(std::string_view path) {
  std::string encoded;
  for (char c : path) {
    if (KeptInPath(c)) {
      encoded.push_back(c);
      continue;
    }
    const auto byte = static_cast<unsigned char>(c);
    encoded.push_back('%');
    encoded.push_back(kHexDigits[byte >> 4]);
    encoded.push_back(kHexDigits[byte & 0xF]);
  }
  return encoded;
}

// The URL of a remote path. Curl takes a URL path as relative to the log-in directory; "%2F" as its
// first segment makes an absolute remote path absolute on the server too. A host with ':' is an
// IPv6 literal and gets brackets. A port that no server can have gives no URL.
std::optional<std::string> FtpUrl(const Connection& connection, const Text& remotePath) {
  if (!HostFitsUrl(connection.host) || connection.port < 0 || connection.port > kLargestPort) {
    return std::nullopt;
  }
  const int port = connection.port > 0 ? connection.port : kDefaultFtpPort;
  const bool ipv6 = connection.host.find(':') != std::string::npos;
  std::string url = std::string("ftp://") + (ipv6 ? "[" : "") + connection.host + (ipv6 ? "]" : "") + ":" +
                    std::to_string(port) + "/";
  const bool absolute = !remotePath.empty() && remotePath[0] == '/';
  url += absolute ? "%2F" + EncodedPath(std::string_view(remotePath).substr(1)) : EncodedPath(remotePath);
  return detail::CheckedUrl(url, {"ftp"});
}

// A directory listing larger than this is not read to its end; the file counts as not found.
constexpr std::size_t kMaxListingBytes = 1 << 20;
constexpr std::uint32_t kListingChunkBytes = 16384;

std::optional<std::string> ReadListing(detail::Transfer& transfer) {
  std::string text;
  std::vector<char> chunk(kListingChunkBytes);
  for (;;) {
    std::uint32_t count = 0;
    if (!transfer.Read(chunk.data(), kListingChunkBytes, &count)) return std::nullopt;
    if (count == 0) return text;
    if (text.size() + count > kMaxListingBytes) return std::nullopt;
    text.append(chunk.data(), count);
  }
}

std::vector<std::string_view> LeadingFields(std::string_view line, std::size_t count,
                                            std::string_view* rest) {
  std::vector<std::string_view> fields;
  std::size_t at = 0;
  while (fields.size() < count) {
    at = line.find_first_not_of(' ', at);
    if (at == std::string_view::npos) break;
    const std::size_t end = std::min(line.find(' ', at), line.size());
    fields.push_back(line.substr(at, end - at));
    at = end;
  }
  const std::size_t nameStart = line.find_first_not_of(' ', std::min(at, line.size()));
  *rest = nameStart == std::string_view::npos ? std::string_view() : line.substr(nameStart);
  return fields;
}

std::optional<std::uint64_t> DecimalSize(std::string_view digits) {
  constexpr std::uint64_t kLargestBeforeDigit = (UINT64_MAX - 9) / 10;
  if (digits.empty()) return std::nullopt;
  std::uint64_t size = 0;
  for (char c : digits) {
    if (c < '0' || c > '9' || size > kLargestBeforeDigit) return std::nullopt;
    size = size * 10 + static_cast<std::uint64_t>(c - '0');
  }
  return size;
}

// The size of the regular file `name` in a LIST answer, in the Unix form ("-rw-r--r-- 1 owner group
// SIZE Mon DD HH:MM NAME") or the DOS form ("MM-DD-YY HH:MMPM SIZE NAME"); names may hold blanks.
std::optional<std::uint64_t> SizeInListing(std::string_view listing, std::string_view name) {
  constexpr std::size_t kUnixFieldsBeforeName = 8;
  constexpr std::size_t kUnixSizeField = 4;
  constexpr std::size_t kDosFieldsBeforeName = 3;
  constexpr std::size_t kDosSizeField = 2;
  while (!listing.empty()) {
    const std::size_t end = std::min(listing.find('\n'), listing.size());
    std::string_view line = listing.substr(0, end);
    listing.remove_prefix(std::min(end + 1, listing.size()));
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const bool unixForm = !line.empty() && line[0] == '-';
    const bool dosForm = !line.empty() && line[0] >= '0' && line[0] <= '9';
    if (!unixForm && !dosForm) continue;  // directories, links, totals
    const std::size_t before = unixForm ? kUnixFieldsBeforeName : kDosFieldsBeforeName;
    std::string_view entry;
    const std::vector<std::string_view> fields = LeadingFields(line, before, &entry);
    if (fields.size() == before && entry == name) {
      return DecimalSize(fields[unixForm ? kUnixSizeField : kDosSizeField]);  // "<DIR>" is no size
    }
  }
  return std::nullopt;
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

// The size of a remote file, or nullopt when it cannot be looked up (missing, a directory, no
// log-in). A server without SIZE is asked for a listing of the file's directory instead.
std::optional<std::uint64_t> RemoteFileSize(const Connection& connection, const Text& remotePath) {
  const std::optional<std::string> url = FtpUrl(connection, remotePath);
  if (!url) return std::nullopt;
  detail::TransferSetup setup = FtpSetup(connection, *url);
  setup.ftpNoBody = true;
  std::unique_ptr<detail::Transfer> transfer = detail::Transfer::Create(setup);
  if (!transfer || !transfer->Finish()) return std::nullopt;
  if (transfer->RemoteSize()) return transfer->RemoteSize();

  const std::size_t slash = remotePath.rfind('/');
  const Text directory = slash == Text::npos ? Text() : remotePath.substr(0, slash + 1);
  const Text name = remotePath.substr(slash == Text::npos ? 0 : slash + 1);
  const std::optional<std::string> listingUrl = FtpUrl(connection, directory);
  if (name.empty() || !listingUrl) return std::nullopt;
  std::unique_ptr<detail::Transfer> listing = detail::Transfer::Create(FtpSetup(connection, *listingUrl));
  const std::optional<std::string> text = listing ? ReadListing(*listing) : std::nullopt;
  return text ? SizeInListing(*text, name) : std::nullopt;
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
  const std::optional<std::uint64_t> size = owner ? RemoteFileSize(*owner, remotePath) : std::nullopt;
  if (!size) return 0;
  auto found = std::make_unique<detail::FtpFind>();
  found->data.fileSize = *size;
  if (data != nullptr) *data = found->data;
  return detail::InsertHandle(connection, std::move(found));
}

Handle FtpOpenFile(Handle connection, const Text& remotePath, std::uint32_t access, std::uint32_t flags) {
  (void)flags;  // binary transfers are the only kind the layer makes
  const Connection* owner = FtpConnection(connection);
  if (owner == nullptr || (access & kGenericRead) == 0) return 0;
  // The look-up makes a missing file fail here, as opening it does on the platform.
  const std::optional<std::uint64_t> size = RemoteFileSize(*owner, remotePath);
  const std::optional<std::string> url = FtpUrl(*owner, remotePath);
  if (!size || !url) return 0;
  auto file = std::make_unique<FtpFile>();
  file->session = owner->session;
  file->setup = FtpSetup(*owner, *url);
  file->size = *size;
  return detail::InsertHandle(connection, std::move(file));
}

std::int32_t SetFilePointer(Handle file, std::int32_t offset) {
  FtpFile* target = detail::Find<FtpFile>(file);
  if (target == nullptr || target->transfer || offset < 0 ||
      static_cast<std::uint64_t>(offset) > target->size) {
    return -1;
  }
  target->setup.resumeFrom = static_cast<std::uint64_t>(offset);
  // Curl sends the restart offset only when the transfer starts, so the transfer starts here: a
  // server that refuses the restart (or finds the offset beyond the file) fails this call, not the
  // first read. A failed start stays failed, so later reads fail too.
  target->transfer = detail::Transfer::Create(target->setup);
  if (!target->transfer || !target->transfer->Start()) return -1;
  return offset;
}

}  // namespace velbrook::inet
