#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace velbrook::test_support {

struct FtpServerOptions {
  // The named user besides the anonymous log-in (user name "anonymous" in any letter case, any
  // password). A wrong password is refused at once, without the usual delay.
  std::string user = "listener";
  std::string password = "open sesame";
  // false: SIZE is answered as an unknown command, so sizes come only from listings.
  bool sizeCommand = true;
  // false: REST is answered as an unknown command, so no transfer can restart.
  bool restartCommand = true;
  // When set, the data connection of every file download closes after this many bytes, with a 426
  // reply, as a connection that breaks does. Listings pass whole.
  std::optional<std::size_t> cutDownloadsAfter = std::nullopt;
};

// A read-only FTP server over a temporary folder of its own, on 127.0.0.1 and an ephemeral port:
// Debian's pyftpdlib under /usr/bin/python3, run as a child process from the script ftp_server.py
// beside this file. It starts in the constructor; the destructor stops it and removes the folder.
// The server also ends by itself when this process ends, since it watches its standard input, and
// then removes the folder itself.
class FtpServer {
 public:
  explicit FtpServer(FtpServerOptions options = {});
  ~FtpServer();
  FtpServer(const FtpServer&) = delete;
  FtpServer& operator=(const FtpServer&) = delete;

  // Whether the server listens; otherwise Error() says why not.
  bool Started() const { return port_ != 0; }
  const std::string& Error() const { return error_; }
  int Port() const { return port_; }
  const FtpServerOptions& Options() const { return options_; }

  // "ftp://127.0.0.1:PORT" followed by `path` (which begins with '/').
  std::string Url(const std::string& path) const;

  // The folder that the server serves as "/".
  const std::string& Root() const { return root_; }
  // Writes `contents` to `path` below the root ("/pub/a.mp3"), creating its folders.
  bool PutFile(const std::string& path, const std::string& contents) const;

  // Every command line that the server has received so far, in order, passwords in clear. A command
  // is recorded before it is answered, so whatever a client has had answered is there.
  std::vector<std::string> Commands() const;
  void ClearCommands() const;

 private:
  void Start();
  int ReadPort(int output);

  FtpServerOptions options_;
  std::string folder_;  // holds the root, the command log and the server's own log
  std::string root_;
  std::string error_;
  int pid_ = -1;
  int input_ = -1;  // the write end of the server's standard input
  int port_ = 0;
};

}  // namespace velbrook::test_support
