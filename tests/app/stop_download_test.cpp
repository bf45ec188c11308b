#include <QDir>
#include <QFileInfo>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/local_file.h"
#include "download/file_downloader.h"
#include "tests/app/window_fixture.h"
#include "tests/support/response_builders.h"
#include "tests/support/test_server.h"

namespace velbrook::test {
namespace {

constexpr std::size_t kSongBytes = 25000;  // three chunks for the downloader

// Everything that the window shows and that the commands share.
struct Shown {
  std::vector<Text> captions;
  std::vector<Text> lines;
  std::vector<std::int64_t> values;
  std::int32_t processedCount;
  bool operator==(const Shown&) const = default;
};

class StopDownloadTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    ASSERT_TRUE(server.Started());
    ASSERT_TRUE(folder.isValid());
    server.Serve("/song.mp3", test_support::OkResponse(std::string(kSongBytes, 's'), "audio/mpeg"));
    window->AddListItem(Gb("周杰伦 - 晴天"), 186016);
    window->SetCaption(Control::标签2, Gb("处理完毕 共有1条记录"));
    state.SetProcessedCount(1);
  }

  Shown Snapshot() const {
    Shown shown{{}, {}, {}, state.ProcessedCount()};
    for (Control control : {Control::标签1, Control::编辑框1, Control::按钮1, Control::标签2, Control::按钮2,
                            Control::按钮3, Control::标签3}) {
      shown.captions.push_back(window->Caption(control));
    }
    for (int i = 0; i < window->ListCount(); ++i) {
      shown.lines.push_back(window->ListItemText(i));
      shown.values.push_back(window->ListItemValue(i));
    }
    return shown;
  }

  Text SongPath() const { return folder.filePath(QStringLiteral("song.mp3")).toStdString(); }

  void ClickStop() { QTest::mouseClick(Find<QPushButton>("按钮3"), Qt::LeftButton); }

  test_support::TestServer server;
  QTemporaryDir folder;
};

TEST_F(StopDownloadTest, OutsideARunChangesNothing) {
  const std::size_t openFiles = OpenFileCount();
  const Shown before = Snapshot();
  ClickStop();  // no download yet
  EXPECT_EQ(Snapshot(), before);
  EXPECT_EQ(OpenFileCount(), openFiles);

  FileDownloader& downloader = state.GlobalDownloader();
  ASSERT_EQ(downloader.DownloadHttp(server.Url("/song.mp3"), SongPath()), kDownloadOk);
  ClickStop();  // after an ended download
  EXPECT_EQ(Snapshot(), before);
  EXPECT_EQ(OpenFileCount(), openFiles);
  EXPECT_EQ(downloader.Url(), server.Url("/song.mp3"));
  EXPECT_EQ(QFileInfo(QString::fromStdString(SongPath())).size(), static_cast<qint64>(kSongBytes));
}

// The program never handles a click while a download runs; a click sent from inside the progress
// call shows that 按钮3 reaches the file that GlobalDownloader has open.
TEST_F(StopDownloadTest, TheStopButtonClosesTheFileThatGlobalDownloaderHasOpen) {
  const std::size_t openFiles = OpenFileCount();
  int calls = 0;
  std::size_t openDuringFirstCall = 0;
  std::size_t openAfterStop = 0;
  const auto progress = [&](std::int32_t, std::int32_t, std::int32_t, std::int32_t) {
    if (++calls > 1) return;
    openDuringFirstCall = OpenFileCount();
    ClickStop();
    openAfterStop = OpenFileCount();
  };
  (void)state.GlobalDownloader().DownloadHttp(server.Url("/song.mp3"), SongPath(), progress);

  EXPECT_GE(calls, 1);
  EXPECT_EQ(openDuringFirstCall, openFiles + 1);
  EXPECT_EQ(openAfterStop, openFiles);
  EXPECT_LT(QFileInfo(QString::fromStdString(SongPath())).size(), static_cast<qint64>(kSongBytes));
}

}  // namespace
}  // namespace velbrook::test
