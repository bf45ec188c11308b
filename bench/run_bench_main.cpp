// velbrook_run_bench --host HOST:PORT --id PLAYLIST --expect SONGS --folder DIR --song-bytes N
// Fills the real window's list by clicking 按钮1, then clicks 按钮2 with DIR as the chosen folder and
// prints how long the run took, from the click until the closing message. Then it replays the run's
// repaints alone, without the network or the files, and prints how long they took: the share of the
// run that the window's labels ask for.
#include <QApplication>
#include <QDir>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "app/command_texts.h"
#include "app/run_downloads.h"
#include "base/code_page.h"
#include "bench/bench_arguments.h"
#include "bench/offscreen_window.h"

namespace {

// The number of files of exactly `bytes` bytes in `folder`.
int FilesOfSize(const std::string& folder, long long bytes) {
  int count = 0;
  const QFileInfoList entries = QDir(QString::fromStdString(folder)).entryInfoList(QDir::Files);
  for (const QFileInfo& entry : entries) {
    if (entry.size() == bytes) ++count;
  }
  return count;
}

// The repaints of a run over the listed songs: 标签2 once per song, 标签3 once per chunk of a
// download of `songBytes` bytes. Gives the milliseconds they took.
double ReplayRepaintsMs(velbrook::MainWindow& window, long long songBytes) {
  using namespace velbrook;
  constexpr std::int32_t kChunkBytes = 10240;
  const Text prefix = AnsiText(kProcessingPrefix);
  const Text suffix = AnsiText(kProcessingSuffix);
  const auto total = static_cast<std::int32_t>(songBytes);
  const double start = bench::MonotonicSeconds();
  for (int i = 0, count = window.ListCount(); i < count; ++i) {
    window.SetCaption(Control::标签2, prefix + window.ListItemText(i) + suffix);
    window.RepaintNow(Control::标签2);
    std::int32_t done = 0;
    while (done < total) {
      const std::int32_t chunk = std::min(kChunkBytes, total - done);
      done += chunk;
      ShowProgress(window, total, done, 0, chunk);
    }
  }
  return (bench::MonotonicSeconds() - start) * 1000.0;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace velbrook;
  const std::optional<std::string> host = bench::ArgumentAfter(argc, argv, "--host");
  const std::optional<std::string> id = bench::ArgumentAfter(argc, argv, "--id");
  const std::optional<long long> expected = bench::NumberAfter(argc, argv, "--expect");
  const std::optional<std::string> folder = bench::ArgumentAfter(argc, argv, "--folder");
  const std::optional<long long> songBytes = bench::NumberAfter(argc, argv, "--song-bytes");
  if (!host || !id || !expected || !folder || !songBytes) {
    std::fprintf(stderr,
                 "usage: velbrook_run_bench --host HOST:PORT --id PLAYLIST --expect SONGS --folder DIR "
                 "--song-bytes N\n");
    return 2;
  }
  bench::UseOffscreenPlatformByDefault();
  QApplication application(argc, argv);
  bench::OffscreenWindow window(Utf8ToText(*host), Utf8ToText(*host));
  window.PreparedDialogsOf().folder = Utf8ToText(*folder);
  window.Window().SetCaption(Control::编辑框1, *id);
  (void)window.ClickMs(QStringLiteral("按钮1"));  // the list is checked right below
  window.Settle();
  if (window.Window().ListCount() != *expected) {
    std::fprintf(stderr, "velbrook_run_bench: %d songs listed, %lld expected\n", window.Window().ListCount(),
                 *expected);
    return 1;
  }

  const double runMs = window.ClickMs(QStringLiteral("按钮2"));
  const int saved = FilesOfSize(*folder, *songBytes);
  if (runMs < 0 || saved != *expected || window.PreparedDialogsOf().lastMessage.empty()) {
    std::fprintf(stderr, "velbrook_run_bench: %d songs saved, %lld expected\n", saved, *expected);
    return 1;
  }
  bench::PrintFigure("run_ms", runMs);
  bench::PrintFigure("saved", saved);
  bench::PrintFigure("repaints_ms", ReplayRepaintsMs(window.Window(), *songBytes));
  return 0;
}
