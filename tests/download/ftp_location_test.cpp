#include "download/ftp_location.h"

#include <gtest/gtest.h>

namespace velbrook {
namespace {

struct LocationCase {
  const char* url;
  const char* host;
  std::int32_t port;
  const char* directory;
  const char* fileName;
};

TEST(FtpLocationTest, UrlsSplitIntoServerPortDirectoryAndFileName) {
  const LocationCase cases[] = {
      {"ftp://music.example/pub/a.mp3", "music.example", 21, "/pub/", "a.mp3"},
      {"ftp://music.example:2121/pub/a.mp3", "music.example", 2121, "/pub/", "a.mp3"},
      {"music.example/pub/a.mp3", "music.example", 21, "/pub/", "a.mp3"},
      // Only the lower-case scheme comes off: the capital one is read as a server "FTP" with an
      // empty port text.
      {"FTP://music.example/pub/a.mp3", "FTP", 0, "//music.example/pub/", "a.mp3"},
      // Two colons: the host ends at the first, the port text begins after the last.
      {"ftp://music.example:1:2121/pub/a.mp3", "music.example", 2121, "/pub/", "a.mp3"},
      {"ftp://music.example:x21/a.mp3", "music.example", 0, "/", "a.mp3"},
      {"ftp://music.example: -7z/a.mp3", "music.example", -7, "/", "a.mp3"},
      {"ftp://music.example:99999999999/a.mp3", "music.example", INT32_MAX, "/", "a.mp3"},
      {"ftp://music.example/pub/", "music.example", 21, "/pub/", ""},
      {"ftp://music.example/a.mp3", "music.example", 21, "/", "a.mp3"},
      {"ftp://music.example", "", 21, "", "music.example"},
      {"a.mp3", "", 21, "", "a.mp3"},
      {"/pub/a.mp3", "", 21, "/pub/", "a.mp3"},
      {"ftp://", "", 21, "", ""},
      {"", "", 21, "", ""},
      // '/' and ':' never occur inside a double-byte character, so bytes are compared.
      {"ftp://h/\xB8\xE8/\xB8\xE8\xC7\xFA.mp3", "h", 21, "/\xB8\xE8/", "\xB8\xE8\xC7\xFA.mp3"},
  };
  for (const LocationCase& c : cases) {
    SCOPED_TRACE(c.url);
    const FtpLocation location = SplitFtpUrl(c.url);
    EXPECT_EQ(location.Host, c.host);
    EXPECT_EQ(location.Port, c.port);
    EXPECT_EQ(location.Directory, c.directory);
    EXPECT_EQ(UrlFileName(c.url), c.fileName);
  }
}

}  // namespace
}  // namespace velbrook
