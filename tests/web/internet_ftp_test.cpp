#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/encoding.h"
#include "tests/support/ftp_server.h"
#include "web/internet.h"

namespace velbrook::inet {
namespace {

namespace ts = test_support;
using ts::FtpServer;
using ts::FtpServerOptions;

constexpr std::uint32_t kChunkBytes = 10240;

struct ReadResult {
  std::string body;
  bool ok = false;
};

ReadResult ReadAll(Handle handle) {
  ReadResult result;
  std::vector<char> buffer(kChunkBytes);
  for (;;) {
    std::uint32_t count = 0;
    if (!ReadFile(handle, buffer.data(), kChunkBytes, &count)) return result;
    if (count == 0) break;
    result.body.append(buffer.data(), count);
  }
  result.ok = true;
  return result;
}

// The servers live for the whole program; each starts at its first use.
FtpServer& PlainServer() {
  static FtpServer server;
  return server;
}
FtpServer& NoSizeServer() {
  static FtpServer server(FtpServerOptions{.sizeCommand = false});
  return server;
}
FtpServer& NoRestartServer() {
  static FtpServer server(FtpServerOptions{.restartCommand = false});
  return server;
}

// A session with a logged-in FTP connection to one server; every handle closes with the session.
class InternetFtpTest : public ::testing::Test {
 protected:
  void Connect(FtpServer& server) {
    ASSERT_TRUE(server.Started()) << server.Error();
    server.ClearCommands();
    session_ = Open("FTP CLIENT", kOpenTypeDirect, "", "", 0);
    ASSERT_NE(session_, 0u);
    connection_ = inet::Connect(session_, "127.0.0.1", server.Port(), server.Options().user,
                                server.Options().password, kServiceFtp, 0);
    ASSERT_NE(connection_, 0u);
  }
  void SetUp() override { handles_ = OpenHandleCount(); }
  void TearDown() override {
    if (session_ != 0) {
      EXPECT_TRUE(CloseHandle(session_));
    }
    EXPECT_EQ(OpenHandleCount(), handles_) << "closing the session closes everything under it";
  }
  Handle OpenRemote(const std::string& path) {
    return FtpOpenFile(connection_, path, kGenericRead, kFlagRawData);
  }

  std::size_t handles_ = 0;
  Handle session_ = 0;
  Handle connection_ = 0;
};

TEST_F(InternetFtpTest, RemoteFilesAreFoundOpenedAndReadFromAnOffset) {
  FtpServer& server = PlainServer();
  const std::string contents = ts::PatternBytes(50'000, 11);
  ASSERT_TRUE(server.PutFile("/pub/a.mp3", contents));
  Connect(server);
  const FtpServerOptions& options = server.Options();
  EXPECT_EQ(inet::Connect(session_, "127.0.0.1", server.Port(), options.user, "wrong", kServiceFtp, 0), 0u);
  EXPECT_NE(inet::Connect(session_, "127.0.0.1", server.Port(), "anonymous", "x@", kServiceFtp, 0), 0u);

  FtpFindData found;
  EXPECT_NE(FtpFindFirstFile(connection_, "/pub/a.mp3", &found, 0), 0u);
  EXPECT_EQ(found.fileSize, contents.size());
  EXPECT_NE(FtpFindFirstFile(connection_, "pub/a.mp3", &found, 0), 0u) << "relative to the log-in folder";
  EXPECT_EQ(FtpFindFirstFile(connection_, "/pub/missing.mp3", &found, 0), 0u);
  EXPECT_EQ(FtpFindFirstFile(connection_, "/pub/", &found, 0), 0u) << "a directory is no file";

  const Handle whole = OpenRemote("/pub/a.mp3");
  ASSERT_NE(whole, 0u);
  EXPECT_TRUE(ReadAll(whole).body == contents);
  const Handle tail = OpenRemote("/pub/a.mp3");
  ASSERT_NE(tail, 0u);
  EXPECT_EQ(SetFilePointer(tail, 40'000), 40'000);
  EXPECT_TRUE(ReadAll(tail).body == contents.substr(40'000));
  EXPECT_EQ(SetFilePointer(tail, 5), -1) << "only before the first read";
  EXPECT_EQ(OpenRemote("/pub/missing.mp3"), 0u);
}

// No passive-mode flag exists, so every data connection is active: the client names its own
// address with EPRT or PORT and never asks for PASV or EPSV.
TEST_F(InternetFtpTest, DataConnectionsAreActive) {
  FtpServer& server = PlainServer();
  ASSERT_TRUE(server.PutFile("/active.mp3", "abc"));
  Connect(server);
  const Handle file = OpenRemote("/active.mp3");
  ASSERT_NE(file, 0u);
  EXPECT_EQ(ReadAll(file).body, "abc");
  bool active = false;
  for (const std::string& command : server.Commands()) {
    active =
        active || command.rfind("EPRT |1|127.0.0.1|", 0) == 0 || command.rfind("PORT 127,0,0,1,", 0) == 0;
    EXPECT_NE(command.rfind("PASV", 0), 0u) << command;
    EXPECT_NE(command.rfind("EPSV", 0), 0u) << command;
  }
  EXPECT_TRUE(active) << "no EPRT or PORT with the loopback address";
}

struct PointerCase {
  const char* name;
  bool restartRefused;
  std::int32_t offset;
  std::int32_t result;
  bool readsFail;
  std::size_t bodyFrom;  // where the body that the reads give begins
};

// When setting the file pointer fails, and what the reads give afterwards.
TEST_F(InternetFtpTest, SetFilePointerFailsForOffsetsThatCannotBeReadFrom) {
  const std::string contents = ts::PatternBytes(30'000, 3);
  const PointerCase cases[] = {
      {"the size itself", false, 30'000, 30'000, false, 30'000},
      {"one beyond the size, refused before any transfer", false, 30'001, -1, false, 0},
      {"negative", false, -1, -1, false, 0},
      {"refused by the server", true, 100, -1, true, 0},
      {"zero, refused by the server", true, 0, 0, false, 0},
  };
  for (const PointerCase& c : cases) {
    SCOPED_TRACE(c.name);
    FtpServer& server = c.restartRefused ? NoRestartServer() : PlainServer();
    ASSERT_TRUE(server.PutFile("/p.mp3", contents));
    Connect(server);
    const Handle file = OpenRemote("/p.mp3");
    ASSERT_NE(file, 0u);
    EXPECT_EQ(SetFilePointer(file, c.offset), c.result);
    const ReadResult read = ReadAll(file);
    EXPECT_EQ(read.ok, !c.readsFail);
    if (!c.readsFail) {
      EXPECT_TRUE(read.body == contents.substr(c.bodyFrom));
    }
    EXPECT_TRUE(CloseHandle(session_));
    session_ = 0;
  }
  EXPECT_EQ(SetFilePointer(0, 0), -1);
}

// A server without SIZE still gives sizes, from a listing of the file's directory.
TEST_F(InternetFtpTest, SizesComeFromAListingWhereTheServerHasNoSize) {
  FtpServer& server = NoSizeServer();
  ASSERT_TRUE(server.PutFile("/pub/two words.mp3", std::string(1234, 'x')));
  ASSERT_TRUE(server.PutFile("/pub/words.mp3", std::string(77, 'x')));
  ASSERT_TRUE(server.PutFile("/top.mp3", std::string(5, 'x')));
  Connect(server);
  FtpFindData found;
  EXPECT_NE(FtpFindFirstFile(connection_, "/pub/two words.mp3", &found, 0), 0u);
  EXPECT_EQ(found.fileSize, 1234u);
  EXPECT_NE(FtpFindFirstFile(connection_, "/pub/words.mp3", &found, 0), 0u);
  EXPECT_EQ(found.fileSize, 77u);
  EXPECT_NE(FtpFindFirstFile(connection_, "/top.mp3", &found, 0), 0u);
  EXPECT_EQ(found.fileSize, 5u);
  EXPECT_EQ(FtpFindFirstFile(connection_, "/pub/missing.mp3", &found, 0), 0u);
  EXPECT_EQ(FtpFindFirstFile(connection_, "/pub", &found, 0), 0u) << "a directory is no file";
  const Handle file = OpenRemote("/pub/two words.mp3");
  ASSERT_NE(file, 0u);
  EXPECT_EQ(ReadAll(file).body.size(), 1234u);
}

// A remote path is a file name: bytes that mean something in a URL reach the server unchanged.
TEST_F(InternetFtpTest, RemotePathsAreSentAsFileNames) {
  FtpServer& server = PlainServer();
  const std::vector<std::string> names = {"/odd/C# minor?.mp3", "/odd/100%25 %.mp3", "/odd/a;type=a.mp3"};
  for (const std::string& name : names) ASSERT_TRUE(server.PutFile(name, name));
  Connect(server);
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    FtpFindData found;
    EXPECT_NE(FtpFindFirstFile(connection_, name, &found, 0), 0u);
    EXPECT_EQ(found.fileSize, name.size());
    const Handle file = OpenRemote(name);
    ASSERT_NE(file, 0u);
    EXPECT_EQ(ReadAll(file).body, name);
  }
}

// Host names go into a URL, so one that would change what the URL says is refused without a
// connection attempt, and so is a port that no server can have.
TEST_F(InternetFtpTest, HostsAndPortsThatNoServerHasAreRefused) {
  FtpServer& server = PlainServer();
  Connect(server);
  server.ClearCommands();
  const std::string port = std::to_string(server.Port());
  for (const std::string host : {"x@127.0.0.1", "127.0.0.1/pub", "127.0.0.1?", "127.0.0.1#", "127.0.0.1 "}) {
    EXPECT_EQ(inet::Connect(session_, host, server.Port(), "anonymous", "x@", kServiceFtp, 0), 0u) << host;
  }
  EXPECT_EQ(inet::Connect(session_, "127.0.0.1", 65536, "anonymous", "x@", kServiceFtp, 0), 0u);
  EXPECT_EQ(inet::Connect(session_, "127.0.0.1", -1, "anonymous", "x@", kServiceFtp, 0), 0u);
  EXPECT_TRUE(server.Commands().empty());
}

}  // namespace
}  // namespace velbrook::inet
