// velbrook_run_bench --host HOST:PORT --id PLAYLIST --expect SONGS --folder DIR --song-bytes N
// Fills the real window's list by clicking 按钮1, then clicks 按钮2 with DIR as the chosen folder and
// prints how long the run took, from the click until the closing message.
#include <QApplication>
#include <QDir>

#include <cstdio>
#include <optional>
#include <string>

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
  return 0;
}
