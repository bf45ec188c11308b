#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace velbrook::inet::detail {

// A session's cookie store, shared by the transfers of that session. Transfers keep it alive, so the
// store outlives every transfer that uses it whatever order the handles close in.
class CookieStore {
 public:
  static std::shared_ptr<CookieStore> Create();  // null when libcurl cannot make one
  ~CookieStore();
  CookieStore(const CookieStore&) = delete;
  CookieStore& operator=(const CookieStore&) = delete;

  void* NativeShare() const;  // the curl share object

 private:
  CookieStore();
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

enum class ProxyMode {
  kNone,         // no proxy, whatever the environment says
  kEnvironment,  // the usual proxy environment variables
  kGiven,        // `proxy` for this URL
};

// Everything one transfer needs, as plain values.
struct TransferSetup {
  std::string url;  // already checked for its scheme and escaped
  std::string agent;
  std::string verb;  // "GET", "POST", "HEAD", ...; ignored for FTP
  bool http10 = false;
  std::string headerBlock;  // the caller's lines, separated by "\r\n"
  std::string body;
  bool followRedirects = true;
  bool decodeContent = false;
  std::shared_ptr<CookieStore> cookies;  // null: no cookie handling at all
  ProxyMode proxyMode = ProxyMode::kNone;
  std::string proxy;
  // FTP only.
  bool ftp = false;
  bool ftpNoBody = false;  // log in and look up, transfer nothing
  std::string user;
  std::string password;
  std::uint64_t resumeFrom = 0;

  // A HEAD response has no body, whatever its headers announce.
  bool HeadOnly() const { return !ftp && verb == "HEAD"; }
};

// One transfer over the curl multi interface, driven only from inside the calls below, so it is as
// blocking as the platform library. Unread body is held up to a bound; beyond it the transfer pauses
// and the socket is left unread until the caller reads.
class Transfer {
 public:
  static std::unique_ptr<Transfer> Create(const TransferSetup& setup);  // null when curl refuses it
  ~Transfer();
  Transfer(const Transfer&) = delete;
  Transfer& operator=(const Transfer&) = delete;

  // Runs until the final response's headers are complete (HTTP) or the first data or the end has
  // arrived (FTP). False when the transfer failed before that.
  bool Start();
  bool Started() const;

  // Runs the transfer to its end, dropping any body; true when it ended well.
  bool Finish();

  // Hands over up to `size` bytes as soon as some are there. `*bytesRead` 0 with true is the end of
  // the data; false is a failed transfer.
  bool Read(void* buffer, std::uint32_t size, std::uint32_t* bytesRead);

  // The final response's header block in CRLF form, ending in an empty line; empty when none came.
  const std::string& RawHeaders() const;
  int StatusCode() const;
  std::optional<std::uint64_t> AnnouncedLength() const;
  // What the server said about the resource's size without transferring it (FTP look-up).
  std::optional<std::uint64_t> RemoteSize() const;

  std::size_t BufferedBytes() const;
  std::size_t PeakBufferedBytes() const;

 private:
  Transfer();
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Most unread body bytes that a transfer holds before it pauses (curl hands over at most one more
// chunk of its own on top).
inline constexpr std::size_t kMaxBufferedBytes = 64 * 1024;

}  // namespace velbrook::inet::detail
