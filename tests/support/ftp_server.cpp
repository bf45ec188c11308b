#include "tests/support/ftp_server.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace velbrook::test_support {
namespace {

namespace fs = std::filesystem;

constexpr char kPython[] = "/usr/bin/python3";
constexpr char kScript[] = VELBROOK_FTP_SERVER_SCRIPT;
constexpr char kListeningPrefix[] = "listening ";
constexpr auto kStartLimit = std::chrono::seconds(20);
constexpr auto kStopLimit = std::chrono::seconds(3);
constexpr int kPollMilliseconds = 100;

std::string CommandLog(const std::string& folder) { return folder + "/commands.log"; }
std::string ServerLog(const std::string& folder) { return folder + "/server.log"; }

std::string FileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

struct SpawnActions {
  posix_spawn_file_actions_t actions;
  bool ready = posix_spawn_file_actions_init(&actions) == 0;
  ~SpawnActions() {
    if (ready) (void)posix_spawn_file_actions_destroy(&actions);  // nothing to do on failure
  }
};

}  // namespace

FtpServer::FtpServer(FtpServerOptions options) : options_(std::move(options)) {
  std::string pattern = (fs::temp_directory_path() / "velbrook-ftp-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) {
    error_ = "no temporary folder for the FTP server";
    return;
  }
  folder_ = pattern;
  root_ = folder_ + "/root";
  std::error_code failed;
  fs::create_directory(root_, failed);
  if (failed) {
    error_ = "no root folder for the FTP server: " + failed.message();
    return;
  }
  Start();
}

FtpServer::~FtpServer() {
  if (input_ >= 0) (void)close(input_);  // the server ends when its input closes
  if (pid_ > 0) {
    const auto deadline = std::chrono::steady_clock::now() + kStopLimit;
    while (waitpid(pid_, nullptr, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() >= deadline) {
        (void)kill(pid_, SIGKILL);
        (void)waitpid(pid_, nullptr, 0);  // a killed child always ends
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  if (!folder_.empty()) {
    std::error_code ignored;  // a folder left in the temporary directory harms nothing
    fs::remove_all(folder_, ignored);
  }
}

void FtpServer::Start() {
  int input[2];
  int output[2];
  if (pipe2(input, O_CLOEXEC) != 0) {
    error_ = "no pipe for the FTP server";
    return;
  }
  if (pipe2(output, O_CLOEXEC) != 0) {
    (void)close(input[0]);
    (void)close(input[1]);
    error_ = "no pipe for the FTP server";
    return;
  }
  std::vector<std::string> args = {
      kPython,       kScript,      "--root",          root_,   "--user",
      options_.user, "--password", options_.password, "--log", CommandLog(folder_),
      "--folder",    folder_};
  if (!options_.sizeCommand) args.push_back("--no-size");
  if (!options_.restartCommand) args.push_back("--no-rest");
  if (options_.cutDownloadsAfter) {
    args.push_back("--cut-after");
    args.push_back(std::to_string(*options_.cutDownloadsAfter));
  }
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  const std::string serverLog = ServerLog(folder_);

  SpawnActions spawn;
  const bool prepared = spawn.ready &&
                        posix_spawn_file_actions_adddup2(&spawn.actions, input[0], STDIN_FILENO) == 0 &&
                        posix_spawn_file_actions_adddup2(&spawn.actions, output[1], STDOUT_FILENO) == 0 &&
                        posix_spawn_file_actions_addopen(&spawn.actions, STDERR_FILENO, serverLog.c_str(),
                                                         O_WRONLY | O_CREAT | O_TRUNC, 0600) == 0;
  const int spawned =
      prepared ? posix_spawn(&pid_, kPython, &spawn.actions, nullptr, argv.data(), environ) : -1;
  (void)close(input[0]);
  (void)close(output[1]);
  input_ = input[1];
  if (spawned != 0) {
    pid_ = -1;
    (void)close(output[0]);
    error_ = std::string("cannot run ") + kPython + " (scripts/setup installs python3-pyftpdlib)";
    return;
  }
  port_ = ReadPort(output[0]);
  (void)close(output[0]);
  if (port_ == 0 && error_.empty()) {
    error_ = "the FTP server did not start (is python3-pyftpdlib installed?): " + FileText(serverLog);
  }
}

// The script prints "listening PORT" once it listens.
int FtpServer::ReadPort(int output) {
  std::string said;
  const auto deadline = std::chrono::steady_clock::now() + kStartLimit;
  while (std::chrono::steady_clock::now() < deadline) {
    pollfd ready{output, POLLIN, 0};
    if (poll(&ready, 1, kPollMilliseconds) <= 0) continue;
    char chunk[256];
    const ssize_t got = read(output, chunk, sizeof chunk);
    if (got <= 0) return 0;  // the server ended before it listened
    said.append(chunk, static_cast<std::size_t>(got));
    const std::size_t at = said.find(kListeningPrefix);
    const std::size_t end = at == std::string::npos ? at : said.find('\n', at);
    if (end != std::string::npos) {
      const std::size_t digits = at + sizeof kListeningPrefix - 1;
      const int port = std::atoi(said.substr(digits, end - digits).c_str());
      return port > 0 ? port : 0;
    }
  }
  error_ = "the FTP server did not say that it listens within the start limit";
  return 0;
}

std::string FtpServer::Url(const std::string& path) const {
  return "ftp://127.0.0.1:" + std::to_string(port_) + path;
}

bool FtpServer::PutFile(const std::string& path, const std::string& contents) const {
  const fs::path target = fs::path(root_) / fs::path(path).relative_path();
  std::error_code failed;
  fs::create_directories(target.parent_path(), failed);
  if (failed) return false;
  std::ofstream out(target, std::ios::binary | std::ios::trunc);
  out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
  out.close();
  return static_cast<bool>(out);
}

std::vector<std::string> FtpServer::Commands() const {
  std::vector<std::string> commands;
  std::istringstream lines(FileText(CommandLog(folder_)));
  for (std::string line; std::getline(lines, line);) commands.push_back(line);
  return commands;
}

void FtpServer::ClearCommands() const { std::ofstream(CommandLog(folder_), std::ios::trunc).close(); }

}  // namespace velbrook::test_support
