// velbrook_run_floor_bench --port PORT --ids FILE --folder DIR --song-bytes N
// The least that any program saving the listed songs must do, for a note beside run_1000_vs_python:
// per song id of FILE (one per line), a fresh connection to 127.0.0.1:PORT for the resolver's answer,
// the media address cut out of it, the skip-existing test, a fresh connection for the media, its body
// written in 10240-byte pieces into a staging file and that file moved into place. Plain blocking
// sockets, no HTTP library, no window, no script engine; prints "run_ms" and "saved".
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "bench/bench_arguments.h"

namespace {

constexpr std::size_t kPieceBytes = 10240;
constexpr std::size_t kReceiveBytes = 128 * 1024;
constexpr char kResolverPath[] = "/music/api.php?source=netease&types=url&id=";
constexpr char kUrlMember[] = "\"url\":\"";
constexpr char kLocalPrefix[] = "http://127.0.0.1:";

// Sends a GET for `path` over a fresh connection and hands each piece of the body to `body`; false
// when the exchange failed or the status was not 200.
template <typename Body>
bool Get(int port, const std::string& path, Body body) {
  const int socket = ::socket(AF_INET, SOCK_STREAM, 0);
  if (socket < 0) return false;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const std::string request = "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
  bool ok = ::connect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
            ::send(socket, request.data(), request.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(request.size());
  static std::vector<char> buffer(kReceiveBytes);
  std::string head;
  bool inBody = false;
  while (ok) {
    const ssize_t got = ::recv(socket, buffer.data(), buffer.size(), 0);
    if (got < 0) ok = false;
    if (got <= 0) break;
    const char* data = buffer.data();
    std::size_t size = static_cast<std::size_t>(got);
    if (!inBody) {
      head.append(data, size);
      const std::size_t end = head.find("\r\n\r\n");
      if (end == std::string::npos) continue;
      inBody = true;
      if (head.compare(0, 12, "HTTP/1.1 200") != 0) ok = false;
      data = head.data() + end + 4;
      size = head.size() - end - 4;
    }
    if (ok && size > 0) ok = body(data, size);
  }
  ::close(socket);
  return ok && inBody;
}

bool WriteInPieces(int file, const char* data, std::size_t size) {
  while (size > 0) {
    const std::size_t piece = size < kPieceBytes ? size : kPieceBytes;
    if (::write(file, data, piece) != static_cast<ssize_t>(piece)) return false;
    data += piece;
    size -= piece;
  }
  return true;
}

// Saves one song; false when any step failed.
bool SaveOne(int port, const std::string& id, const std::string& folder) {
  std::string answer;
  if (!Get(port, kResolverPath + id, [&](const char* data, std::size_t size) {
        answer.append(data, size);
        return true;
      })) {
    return false;
  }
  const std::size_t member = answer.find(kUrlMember);
  if (member == std::string::npos) return false;
  const std::size_t start = member + sizeof kUrlMember - 1;
  const std::string url = answer.substr(start, answer.find('"', start) - start);
  const std::size_t pathStart = url.find('/', sizeof kLocalPrefix - 1);
  if (url.compare(0, sizeof kLocalPrefix - 1, kLocalPrefix) != 0 || pathStart == std::string::npos) return false;

  const std::string target = folder + "/" + id + ".mp3";
  struct stat status {};
  if (::stat(target.c_str(), &status) == 0) return true;
  const std::string staging = target + ".part";
  const int file = ::open(staging.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (file < 0) return false;
  const bool received = Get(port, url.substr(pathStart),
                            [&](const char* data, std::size_t size) { return WriteInPieces(file, data, size); });
  const bool closed = ::close(file) == 0;
  return received && closed && ::rename(staging.c_str(), target.c_str()) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace velbrook;
  const std::optional<long long> port = bench::NumberAfter(argc, argv, "--port");
  const std::optional<std::string> idsFile = bench::ArgumentAfter(argc, argv, "--ids");
  const std::optional<std::string> folder = bench::ArgumentAfter(argc, argv, "--folder");
  const std::optional<long long> songBytes = bench::NumberAfter(argc, argv, "--song-bytes");
  if (!port || !idsFile || !folder || !songBytes) {
    std::fprintf(stderr, "usage: velbrook_run_floor_bench --port PORT --ids FILE --folder DIR --song-bytes N\n");
    return 2;
  }
  std::vector<std::string> ids;
  std::ifstream list(*idsFile);
  for (std::string id; std::getline(list, id);) {
    if (!id.empty()) ids.push_back(id);
  }

  const auto start = std::chrono::steady_clock::now();
  int saved = 0;
  for (const std::string& id : ids) {
    if (SaveOne(static_cast<int>(*port), id, *folder)) ++saved;
  }
  const double runMs =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  for (const std::string& id : ids) {
    struct stat status {};
    const std::string target = *folder + "/" + id + ".mp3";
    if (::stat(target.c_str(), &status) != 0 || status.st_size != *songBytes) --saved;
  }
  if (ids.empty() || saved != static_cast<int>(ids.size())) {
    std::fprintf(stderr, "velbrook_run_floor_bench: %d of %zu songs saved\n", saved, ids.size());
    return 1;
  }
  bench::PrintFigure("run_ms", runMs);
  bench::PrintFigure("saved", saved);
  return 0;
}
