// velbrook_screenshot OUT.png [--sample]
// Saves a picture of the real main window, drawn offscreen. With --sample the list, the status and
// the progress label hold sample texts first, to check how songs and long status lines render.
#include <QApplication>
#include <QPixmap>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/main_window.h"
#include "app/program_settings.h"
#include "app/program_state.h"
#include "app/qt_dialogs.h"
#include "base/code_page.h"

namespace {

struct SampleSong {
  const char* line;  // UTF-8
  std::int64_t id;
};

constexpr SampleSong kSampleSongs[] = {
    {"周杰伦 - 晴天", 186016},
    {"陈奕迅 - 十年", 66282},
    {"王菲 - 红豆", 299757},
    {"邓紫棋 - 光年之外", 449818741},
    {"Queen - Bohemian Rhapsody", 1469311},
    {"五月天 - 倔强 🎸", 386538},
    {"林俊杰 - 江南 (Live) & 一千年以后 - 超长的歌曲名称用来检查截断", 26305527},
    {"Ólafur Arnalds - Saman", 28111222},
    {"李健 - 贝加尔湖畔", 28815250},
    {"毛不易 - 消愁", 569200213},
    {"朴树 - 平凡之路", 28949444},
    {"赵雷 - 成都", 436514312},
    {"许嵩 - 清明雨上", 167876},
    {"薛之谦 - 演员", 32507038},
    {"告五人 - 爱人错过", 1463165983},
};

// The sample texts stand in the source as UTF-8; the window takes GB18030.
velbrook::Text Sample(const char* utf8) { return velbrook::Utf8ToText(utf8); }

void FillWithSamples(velbrook::MainWindow& window) {
  window.SetCaption(velbrook::Control::编辑框1, Sample("2147483648"));
  for (const SampleSong& song : kSampleSongs) window.AddListItem(Sample(song.line), song.id);
  window.SetCaption(velbrook::Control::标签2,
                    Sample("正在处理【林俊杰 - 江南 (Live) & 一千年以后 - 超长的歌曲名称用来检查截断】"));
  window.SetCaption(velbrook::Control::标签3, Sample("已下载：1048576  总大小5242880"));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3 || (argc == 3 && std::strcmp(argv[2], "--sample") != 0)) {
    std::fprintf(stderr, "usage: velbrook_screenshot OUT.png [--sample]\n");
    return 2;
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);

  velbrook::ProgramState state;
  velbrook::QtDialogs dialogs;
  const velbrook::ProgramSettings settings{Sample(VELBROOK_PLAYLIST_HOST), Sample(VELBROOK_RESOLVER_HOST),
                                           Sample(VELBROOK_TITLE_DOMAIN)};
  velbrook::MainWindow window(state, settings, dialogs);
  if (argc == 3) FillWithSamples(window);
  window.show();

  const QString outPath = QString::fromLocal8Bit(argv[1]);
  if (!window.grab().save(outPath, "PNG")) {
    std::fprintf(stderr, "velbrook_screenshot: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
