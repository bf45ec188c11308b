#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "base/text.h"

// A small synchronous Internet client layer: sessions, connections, HTTP requests, URL reads and FTP
// file reads, one operation for each that the page request and the downloader use. Every call blocks.
// A handle of 0 reports a failure. Closing a handle also closes every handle opened under it.
//
// Behaviour the callers rely on:
// - Only http:// and https:// URLs are opened for HTTP, ftp:// for FTP; redirects are followed only
//   to http and https, at most kMaxRedirects hops. Any other scheme fails like an unopenable URL.
// - Cookies are kept for the life of a session unless a request carries kFlagNoCookies.
// - kOpenTypeDirect uses no proxy at all (proxy environment variables are ignored); kOpenTypeProxy uses
//   the given list ("http=HOST:PORT" for http URLs only, a bare HOST:PORT for every URL); the two
//   PRECONFIG types use the usual proxy environment variables.
// - https certificates are verified against the system's store, plus any CA added for tests.
// - A connection attempt gives up after 60 s, and a transfer that receives nothing for 60 s fails.
// - Reading is incremental: only a bounded amount of unread body is held.
namespace velbrook::inet {

using Handle = std::uint32_t;

inline constexpr int kMaxRedirects = 10;

inline constexpr std::uint32_t kConnectionProxy = 0x4;  // InternetGetConnectedState flag

inline constexpr std::uint32_t kOpenTypePreconfig = 0;
inline constexpr std::uint32_t kOpenTypeDirect = 1;
inline constexpr std::uint32_t kOpenTypeProxy = 3;
inline constexpr std::uint32_t kOpenTypePreconfigNoAutoproxy = 4;

inline constexpr std::uint32_t kServiceFtp = 1;
inline constexpr std::uint32_t kServiceHttp = 3;

inline constexpr std::uint32_t kFlagReload = 0x80000000;
inline constexpr std::uint32_t kFlagRawData = 0x40000000;
inline constexpr std::uint32_t kFlagNoCacheWrite = 0x04000000;
inline constexpr std::uint32_t kFlagSecure = 0x00800000;
inline constexpr std::uint32_t kFlagNoAutoRedirect = 0x00200000;
inline constexpr std::uint32_t kFlagNoCookies = 0x00080000;
inline constexpr std::uint32_t kFlagIgnoreRedirectToHttps = 0x00004000;
inline constexpr std::uint32_t kFlagPragmaNoCache = 0x00000100;
inline constexpr std::uint32_t kFlagNeedFile = 0x00000010;
// Our own request flag: the body is handed over decoded from gzip or deflate, as the resource itself.
// Without it the body comes as sent. The request's header block still decides what is advertised.
inline constexpr std::uint32_t kFlagDecodeContent = 0x00000004;

inline constexpr std::uint32_t kGenericRead = 0x80000000;

inline constexpr std::uint32_t kQueryRawHeadersCrlf = 0x16;
inline constexpr std::uint32_t kQueryContentLengthNumber = 0x20000005;

// Sets the flags word (kConnectionProxy when the system's configuration names a proxy).
bool GetConnectedState(std::uint32_t* flags);

Handle Open(const Text& agent, std::uint32_t accessType, const Text& proxy, const Text& proxyBypass,
            std::uint32_t flags);

Handle Connect(Handle session, const Text& host, int port, const Text& user, const Text& password,
               std::uint32_t service, std::uint32_t flags);

Handle HttpOpenRequest(Handle connection, const Text& verb, const Text& objectName, const Text& version,
                       std::uint32_t flags);

// Sends the request with its header block (lines separated by "\r\n") and body, and waits for the
// response headers.
bool HttpSendRequest(Handle request, const char* headers, std::size_t headersLength, const void* body,
                     std::size_t bodyLength);

Handle OpenUrl(Handle session, const Text& url, const char* headers, std::size_t headersLength,
               std::uint32_t flags);

// HTTP_QUERY_RAW_HEADERS_CRLF: the final response's raw headers, status line first, each line ending
// in "\r\n", the block ending in an empty line, zero-terminated. False when they do not fit
// `*bufferLength` bytes (terminator included); `*bufferLength` then holds the size needed. On success
// `*bufferLength` holds the length without the terminator.
bool HttpQueryRawHeaders(Handle request, char* buffer, std::uint32_t* bufferLength);

// HTTP_QUERY_CONTENT_LENGTH as a number. False when the response announces none or one that does not
// fit 32 bits.
bool HttpQueryContentLength(Handle request, std::uint32_t* length);

// The final response's Content-Length in full 64 bits; nullopt when it announces none.
std::optional<std::uint64_t> HttpAnnouncedLength(Handle request);

// The final response's status code, or 0 when there is none.
int HttpStatusCode(Handle request);

// Sets *bytesRead to 0 first. Returns as soon as some body bytes are there, at most `size`. A read of 0
// bytes that returns true is the end of the data; false is a failed transfer.
bool ReadFile(Handle handle, void* buffer, std::uint32_t size, std::uint32_t* bytesRead);

// FTP. Each operation logs in on a control connection of its own with the connection's user name and
// password; Connect with kServiceFtp logs in once to check them and fails when the server refuses
// them. Data connections are active (no passive-mode flag exists here): the server connects back to
// the local address of the control connection. Remote paths are file names, sent byte for byte.
//
// The find data carries the remote file's size, from SIZE or, where the server has no SIZE, from a
// listing of the file's directory. A missing file or a directory gives no find handle.
struct FtpFindData {
  std::uint64_t fileSize = 0;
  std::uint32_t FileSizeLow() const { return static_cast<std::uint32_t>(fileSize); }
};
Handle FtpFindFirstFile(Handle connection, const Text& remotePath, FtpFindData* data, std::uint32_t flags);
Handle FtpOpenFile(Handle connection, const Text& remotePath, std::uint32_t access, std::uint32_t flags);
// Sets the restart offset of a remote file handle that has not been read yet and starts the transfer
// from there, so that the server's answer to the restart is known now; gives the offset.
// -1 when the handle is no FTP file handle, when it has been read or positioned already, when the
// offset is negative or beyond the size that FtpOpenFile found (the size itself is allowed: the
// reads then end at once), and when the server refuses the restart or the transfer fails before its
// first data. After a refused restart or a failed start the handle's reads fail; the other failures
// leave the handle as it was.
std::int32_t SetFilePointer(Handle file, std::int32_t offset);

bool CloseHandle(Handle handle);

// Number of open handles (for leak checks in tests).
std::size_t OpenHandleCount();

// Test hooks. Users cannot reach these: the program has no configuration.
struct Timeouts {
  long connectMs = 60000;
  long stallMs = 60000;
};
void SetTimeoutsForTesting(const Timeouts& timeouts);
// The most unread body bytes that the handle's transfer has held at once.
std::size_t PeakBufferedBytesForTesting(Handle handle);
// Adds a PEM CA file that https verification trusts besides the system store; empty resets.
void SetExtraCaFileForTesting(const std::string& pemPath);

}  // namespace velbrook::inet
