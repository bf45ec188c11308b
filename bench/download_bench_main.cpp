// velbrook_download_bench --url URL --out PATH --expect-bytes N [--progress]
// Downloads URL into PATH once with DownloadHttp and prints the time and the throughput. With
// --progress, ShowProgress repaints 标签3 of the real window, offscreen, after every chunk.
#include <QApplication>

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "app/run_downloads.h"
#include "base/code_page.h"
#include "bench/bench_arguments.h"
#include "bench/offscreen_window.h"
#include "download/file_downloader.h"

namespace {

constexpr double kBytesPerMib = 1024.0 * 1024.0;

int Usage() {
  std::fprintf(stderr, "usage: velbrook_download_bench --url URL --out PATH --expect-bytes N [--progress]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace velbrook;
  const std::optional<std::string> url = bench::ArgumentAfter(argc, argv, "--url");
  const std::optional<std::string> out = bench::ArgumentAfter(argc, argv, "--out");
  const std::optional<long long> expected = bench::NumberAfter(argc, argv, "--expect-bytes");
  const bool withProgress = bench::HasFlag(argc, argv, "--progress");
  if (!url || !out || !expected) return Usage();

  bench::UseOffscreenPlatformByDefault();
  QApplication application(argc, argv);
  bench::OffscreenWindow window("127.0.0.1:1", "127.0.0.1:1");  // no page or resolver is asked for

  std::int64_t calls = 0;
  std::uint32_t lastDone = 0;
  ProgressCallback progress;
  if (withProgress) {
    progress = [&](std::int32_t total, std::int32_t done, std::int32_t elapsed, std::int32_t received) {
      ++calls;
      lastDone = static_cast<std::uint32_t>(done);
      ShowProgress(window.Window(), total, done, elapsed, received);
    };
  }
  FileDownloader downloader;
  const double start = bench::MonotonicSeconds();
  const std::int32_t result = downloader.DownloadHttp(Utf8ToText(*url), Utf8ToText(*out), progress);
  const double seconds = bench::MonotonicSeconds() - start;

  const auto expectedBytes = static_cast<std::uint64_t>(*expected);
  std::FILE* written = std::fopen(out->c_str(), "rb");
  long long size = -1;
  if (written != nullptr && std::fseek(written, 0, SEEK_END) == 0) size = std::ftell(written);
  if (written != nullptr) (void)std::fclose(written);  // read only
  if (result != kDownloadOk || size != *expected ||
      (withProgress && lastDone != static_cast<std::uint32_t>(expectedBytes))) {
    std::fprintf(stderr, "velbrook_download_bench: result %d, %lld bytes written, %lld expected\n", result,
                 size, *expected);
    return 1;
  }
  bench::PrintFigure("seconds", seconds);
  bench::PrintFigure("mib_per_s", static_cast<double>(expectedBytes) / kBytesPerMib / seconds);
  bench::PrintFigure("progress_calls", static_cast<double>(calls));
  return 0;
}
