// velbrook_fetch_snapshot [--songs N] [--png OUT.png] [--download]
// Drives the real main window offscreen against the fixture services: fetches a playlist with
// 按钮1 and prints how long the click took. The playlist is the demo's sample, or N generated songs
// of about 1.2 kB each in the page. --png saves a picture of the window after the fetch; --download
// then runs 按钮2 into a fresh folder, with small songs, and prints how long the run took.
#include <QApplication>
#include <QElapsedTimer>
#include <QPixmap>
#include <QPushButton>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/main_window.h"
#include "app/program_settings.h"
#include "app/program_state.h"
#include "base/code_page.h"
#include "tests/app/fixture_services.h"
#include "tests/app/recording_dialogs.h"
#include "tests/support/encoding.h"
#include "tests/support/response_builders.h"

namespace {

constexpr char kGeneratedPlaylistId[] = "1";
constexpr std::size_t kGeneratedPaddingBytes = 1000;
constexpr std::uint64_t kGeneratedSongBytes = 20000;
constexpr std::int64_t kFirstGeneratedId = 1800000000;

struct Options {
  long songs = 0;  // 0: the sample playlist
  const char* png = nullptr;
  bool download = false;
};

bool ReadOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--songs") == 0 && i + 1 < argc) {
      options.songs = std::strtol(argv[++i], nullptr, 10);
      if (options.songs <= 0) return false;
    } else if (std::strcmp(argv[i], "--png") == 0 && i + 1 < argc) {
      options.png = argv[++i];
    } else if (std::strcmp(argv[i], "--download") == 0) {
      options.download = true;
    } else {
      return false;
    }
  }
  return true;
}

void ServeGenerated(velbrook::test::FixtureServices& services, long count, bool withMedia) {
  std::vector<velbrook::test::FixtureSong> songs;
  for (long i = 0; i < count; ++i) {
    const std::int64_t id = kFirstGeneratedId + i;
    songs.push_back(velbrook::test::FixtureSong::Of(id, "第" + std::to_string(i) + "首歌 🎵",
                                                    {"歌手" + std::to_string(i % 97), "合唱"}));
    if (withMedia) {
      services.ServeSong(id, velbrook::test_support::OkResponse(velbrook::test_support::PatternBytes(
                                 kGeneratedSongBytes, static_cast<std::uint32_t>(i))));
    }
  }
  velbrook::test::PageOptions options;
  options.paddingBytesPerSong = kGeneratedPaddingBytes;
  const std::string page = velbrook::test::PlaylistPage(songs, options);
  std::printf("page: %ld songs, %zu bytes\n", count, page.size());
  services.ServePlaylist(kGeneratedPlaylistId, page);
}

double ClickMs(QPushButton* button) {
  QElapsedTimer timer;
  timer.start();
  button->click();
  return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ReadOptions(argc, argv, options)) {
    std::fprintf(stderr, "usage: velbrook_fetch_snapshot [--songs N] [--png OUT.png] [--download]\n");
    return 2;
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);

  velbrook::test::FixtureServices services;
  QTemporaryDir folder;
  if (!services.Started() || !folder.isValid()) {
    std::fprintf(stderr, "velbrook_fetch_snapshot: the fixture services or the folder are not there\n");
    return 1;
  }
  if (options.songs > 0) {
    ServeGenerated(services, options.songs, options.download);
  } else {
    velbrook::test::ServeSamplePlaylist(services);
  }

  velbrook::ProgramState state;
  velbrook::test::RecordingDialogs dialogs;
  dialogs.folderToChoose = velbrook::Utf8ToText(folder.path().toStdString());
  velbrook::MainWindow window(state, {services.PlaylistHost(), services.ResolverHost(), "example.test"},
                              dialogs);
  window.show();
  window.SetCaption(velbrook::Control::编辑框1,
                    options.songs > 0 ? kGeneratedPlaylistId : velbrook::test::kSamplePlaylistId);

  QElapsedTimer shown;
  shown.start();
  const double fetchMs = ClickMs(window.findChild<QPushButton*>(QStringLiteral("按钮1")));
  QApplication::processEvents();  // lays the list out and paints the window
  std::printf("fetch: %d songs listed in %.1f ms, shown after %.1f ms\n", window.ListCount(), fetchMs,
              static_cast<double>(shown.nsecsElapsed()) / 1e6);
  if (options.png != nullptr && !window.grab().save(QString::fromLocal8Bit(options.png), "PNG")) {
    std::fprintf(stderr, "velbrook_fetch_snapshot: cannot write %s\n", options.png);
    return 1;
  }
  if (options.download) {
    const double runMs = ClickMs(window.findChild<QPushButton*>(QStringLiteral("按钮2")));
    std::printf(
        "run: %d songs taken up in %.1f ms; %s\n", window.ListCount(), runMs,
        dialogs.messages.empty() ? "no message" : velbrook::TextToUtf8(dialogs.messages.back()).c_str());
  }
  return 0;
}
