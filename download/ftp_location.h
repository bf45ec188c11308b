#pragma once

#include <cstdint>

#include "base/text.h"

namespace velbrook {

// Where an FTP URL points: the server and the remote directory. The remote path of the file is
// `Directory` followed by UrlFileName of the URL.
struct FtpLocation {
  Text Host;
  std::int32_t Port = 0;  // 21 when the URL names none
  Text Directory;         // from the first '/' after the server part to the URL's last '/', or empty
};

// Splits "ftp://HOST[:PORT]/DIR/NAME" (or the same without the scheme). Only the lower-case scheme
// is taken off; the port text after the last ':' of the server part is read as a decimal number
// (0 when it has no digits). Bytes are compared: '/' and ':' never occur inside a double-byte
// character.
FtpLocation SplitFtpUrl(const Text& url);

// The text after the URL's last '/'; the whole URL when it has none, empty when it ends in '/'.
Text UrlFileName(const Text& url);

}  // namespace velbrook
