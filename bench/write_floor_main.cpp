// velbrook_write_floor_bench --folder DIR --bytes N --piece P
// Writes N bytes into a new file in DIR in pieces of P bytes with plain write calls, closes and removes
// it, and prints how long the writes took: what the disk alone costs a download that writes each
// piece before it reads the next, for a note beside download_vs_curl.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "bench/bench_arguments.h"

int main(int argc, char** argv) {
  using namespace velbrook;
  const std::optional<std::string> folder = bench::ArgumentAfter(argc, argv, "--folder");
  const std::optional<long long> bytes = bench::NumberAfter(argc, argv, "--bytes");
  const std::optional<long long> piece = bench::NumberAfter(argc, argv, "--piece");
  if (!folder || !bytes || !piece || *piece == 0) {
    std::fprintf(stderr, "usage: velbrook_write_floor_bench --folder DIR --bytes N --piece P\n");
    return 2;
  }
  std::vector<char> data(static_cast<std::size_t>(*piece));
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 131);
  const std::string path = *folder + "/write-floor.bin";
  const int file = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (file < 0) {
    std::fprintf(stderr, "velbrook_write_floor_bench: cannot create %s\n", path.c_str());
    return 1;
  }
  const auto start = std::chrono::steady_clock::now();
  bool ok = true;
  for (long long done = 0; ok && done < *bytes; done += *piece) {
    const auto size = static_cast<std::size_t>(std::min(*piece, *bytes - done));
    ok = ::write(file, data.data(), size) == static_cast<ssize_t>(size);
  }
  const double writeMs =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  ok = ::close(file) == 0 && ok;
  (void)::unlink(path.c_str());
  if (!ok) {
    std::fprintf(stderr, "velbrook_write_floor_bench: a write failed\n");
    return 1;
  }
  bench::PrintFigure("write_ms", writeMs);
  return 0;
}
