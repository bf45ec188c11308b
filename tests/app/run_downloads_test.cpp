#include <sys/resource.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>

#include <csignal>
#include <cstdint>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/app/command_window_fixture.h"
#include "tests/app/paint_recorder.h"
#include "tests/support/encoding.h"
#include "tests/support/response_builders.h"

namespace velbrook::test {
namespace {

using test_support::PatternBytes;
using test_support::Response;

constexpr char kPlaylistId[] = "5";
constexpr std::size_t kSongBytes = 25000;  // three chunks for the downloader

// Each song has a length and bytes of its own.
std::string SongBytes(std::int64_t id) {
  return PatternBytes(kSongBytes + static_cast<std::uint64_t>(id) % 1000, static_cast<std::uint32_t>(id));
}

std::string ReadFile(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return "(missing)";
  const QByteArray bytes = file.readAll();
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

QStringList Names(std::initializer_list<const char*> utf8) {
  QStringList names;
  for (const char* name : utf8) names << QString::fromUtf8(name);
  names.sort();
  return names;
}

class RunDownloadsTest : public CommandWindowTest {
 protected:
  // Lists the songs with a fetch, each served by the media host with bytes of its own.
  void ListSongs(const std::vector<FixtureSong>& songs) {
    services.ServePlaylist(kPlaylistId, PlaylistPage(songs));
    for (const FixtureSong& song : songs) {
      const std::int64_t id = std::stoll(*song.id);
      services.ServeSong(id, test_support::OkResponse(SongBytes(id), "audio/mpeg"));
    }
    Fetch(kPlaylistId);
    ASSERT_EQ(window->ListCount(), static_cast<int>(songs.size()));
    services.ClearRequests();
  }

  std::vector<FixtureSong> FiveSongs() const {
    return {FixtureSong::Of(1, "晴天", {"周杰伦"}), FixtureSong::Of(2, "十年", {"陈奕迅"}),
            FixtureSong::Of(3, "倔强 🎸", {"五月天"}), FixtureSong::Of(4, "𠮷", {"Ólafur"}),
            FixtureSong::Of(5, "Bohemian Rhapsody", {"Queen"})};
  }
};

TEST_F(RunDownloadsTest, ARunSavesEverySongAndASecondRunOnlyAsksTheResolver) {
  ListSongs(FiveSongs());
  Start();
  ASSERT_EQ(dialogs.browseTitles.size(), 1u);
  EXPECT_EQ(Utf8(dialogs.browseTitles[0]), "选择下载目录");
  EXPECT_EQ(FolderEntries(), Names({"周杰伦 - 晴天.mp3", "陈奕迅 - 十年.mp3", "五月天 - 倔强 🎸.mp3",
                                    "Ólafur - 𠮷.mp3", "Queen - Bohemian Rhapsody.mp3"}));
  EXPECT_EQ(ReadFile(SongPath("周杰伦 - 晴天.mp3")), SongBytes(1));
  EXPECT_EQ(ReadFile(SongPath("五月天 - 倔强 🎸.mp3")), SongBytes(3));
  EXPECT_EQ(ReadFile(SongPath("Ólafur - 𠮷.mp3")), SongBytes(4));
  EXPECT_EQ(ReadFile(SongPath("Queen - Bohemian Rhapsody.mp3")), SongBytes(5));
  EXPECT_EQ(services.ResolverIds(), (std::vector<std::string>{"1", "2", "3", "4", "5"}));
  EXPECT_EQ(services.resolver.LastRequest()->target, "/music/api.php?source=netease&types=url&id=5");
  EXPECT_EQ(services.MediaRequestCount(), 5u);
  EXPECT_EQ(Shown(Control::标签2), "处理完毕 共有5条记录");
  EXPECT_EQ(Messages(), (std::vector<std::string>{"下载完成！"}));

  services.ClearRequests();
  Start();
  EXPECT_EQ(services.ResolverIds(), (std::vector<std::string>{"1", "2", "3", "4", "5"}));
  EXPECT_EQ(services.MediaRequestCount(), 0u);
  EXPECT_EQ(Shown(Control::标签2), "处理完毕 共有10条记录");
  EXPECT_EQ(Messages(), (std::vector<std::string>{"下载完成！", "下载完成！"}));
  EXPECT_EQ(ReadFile(SongPath("陈奕迅 - 十年.mp3")), SongBytes(2));
  EXPECT_EQ(ScratchEntries(), Names({"下载"}));
}

TEST_F(RunDownloadsTest, NothingIsRequestedWithoutAFolderOrWithoutSongs) {
  ListSongs(FiveSongs());
  state.SetProcessedCount(7);
  dialogs.folderToChoose.clear();  // the user cancels
  Start();
  EXPECT_EQ(services.resolver.RequestCount() + services.MediaRequestCount(), 0u);
  EXPECT_EQ(Shown(Control::标签2), "处理完毕 共有7条记录");
  EXPECT_EQ(Messages(), (std::vector<std::string>{"下载完成！"}));

  window->ClearList();
  dialogs.folderToChoose = FolderText();
  Start();
  EXPECT_EQ(services.resolver.RequestCount() + services.MediaRequestCount(), 0u);
  EXPECT_EQ(Shown(Control::标签2), "处理完毕 共有7条记录");
  EXPECT_EQ(Messages().size(), 2u);
  EXPECT_TRUE(FolderEntries().isEmpty());

  // Only the fetch sets the ready caption; without it no folder is asked for.
  window->AddListItem("X - Y", 1);
  window->SetCaption(Control::按钮2, Utf8ToText("别的"));
  Start();
  EXPECT_EQ(dialogs.browseTitles.size(), 2u);
  EXPECT_EQ(services.resolver.RequestCount(), 0u);
  EXPECT_EQ(Shown(Control::标签2), "处理完毕 共有7条记录");
  EXPECT_EQ(Messages().size(), 3u);
}

TEST_F(RunDownloadsTest, IdentifiersBeyondThirtyTwoBitsReachTheResolverExactly) {
  ListSongs({FixtureSong::Of(2147483648, "大", {"X"}), FixtureSong::Of(9007199254740991, "更大", {"X"}),
             FixtureSong{"-1", "负", std::vector<FixtureArtist>{{"X"}}}});
  Start();
  EXPECT_EQ(services.ResolverIds(), (std::vector<std::string>{"2147483648", "9007199254740991", "-1"}));
  EXPECT_EQ(ReadFile(SongPath("X - 更大.mp3")), SongBytes(9007199254740991));
}

TEST_F(RunDownloadsTest, EveryFileStaysDirectlyInsideTheFolder) {
  const std::string longTitle(300, 'L');
  const std::string longChinese(100 * 3, ' ');
  std::string hundredSongs;
  for (int i = 0; i < 100; ++i) hundredSongs += "歌";  // 300 bytes of UTF-8
  ListSongs({FixtureSong::Of(1, "../../逃出去", {".."}), FixtureSong::Of(2, "AC/DC", {"/abs/path"}),
             FixtureSong::Of(3,
                             "tab\there\nnew\x7f"
                             "del",
                             {"\x01"}),
             FixtureSong::Of(4, longTitle, {"Long"}), FixtureSong::Of(5, hundredSongs, {"长"})});
  Start();

  const std::string longName = "Long - " + std::string(246 - 7, 'L') + ".mp3";
  std::string chineseName = "长 - ";  // 3 + 3 bytes, then 80 whole characters of 3 bytes
  for (int i = 0; i < 80; ++i) chineseName += "歌";
  chineseName += ".mp3";
  EXPECT_EQ(FolderEntries(), Names({".. - .._.._逃出去.mp3", "_abs_path - AC_DC.mp3",
                                    "_ - tab_here_new_del.mp3", longName.c_str(), chineseName.c_str()}));
  EXPECT_EQ(ReadFile(SongPath(longName.c_str())), SongBytes(4));
  EXPECT_EQ(ReadFile(SongPath(chineseName.c_str())), SongBytes(5));
  EXPECT_EQ(ScratchEntries(), Names({"下载"}));
  EXPECT_EQ(Messages(), (std::vector<std::string>{"下载完成！"}));
}

// A failed song leaves no file under its name and no temporary file, is counted in the message box,
// and is saved by a later run once its services behave.
TEST_F(RunDownloadsTest, FailedSongsAreCountedAndSavedByALaterRun) {
  ListSongs({FixtureSong::Of(1, "好", {"A"}), FixtureSong::Of(2, "媒体404", {"A"}),
             FixtureSong::Of(3, "断开", {"A"}), FixtureSong::Of(4, "短了", {"A"}),
             FixtureSong::Of(5, "空地址", {"A"}), FixtureSong::Of(6, "问不到", {"A"}),
             FixtureSong::Of(7, "不是JSON", {"A"})});
  services.ServeSong(2, test_support::NotFoundHtml());
  services.ServeSong(3, test_support::CutMidBody(SongBytes(3), 12000, test_support::CutMode::kReset));
  services.ServeSong(4, test_support::CutMidBody(SongBytes(4), 12000, test_support::CutMode::kClose));
  services.AnswerResolver(5, test_support::JsonResponse("{\"url\":null}"));
  services.AnswerResolver(6, test_support::NotFoundHtml());
  services.AnswerResolver(7, test_support::OkResponse("url=http://nowhere/", "text/plain"));
  Start();
  EXPECT_EQ(FolderEntries(), Names({"A - 好.mp3"}));
  EXPECT_EQ(Messages(), (std::vector<std::string>{"下载完成！\n其中6首下载失败"}));
  EXPECT_EQ(Shown(Control::标签2), "处理完毕 共有7条记录");

  for (std::int64_t id = 2; id <= 4; ++id) services.ServeSong(id, test_support::OkResponse(SongBytes(id)));
  for (std::int64_t id = 5; id <= 7; ++id) {
    services.AnswerResolver(id, test_support::JsonResponse("{\"url\":\"" + services.MediaUrl(id) + "\"}"));
    services.ServeSong(id, test_support::OkResponse(SongBytes(id)));
  }
  Start();
  EXPECT_EQ(FolderEntries().size(), 7);
  EXPECT_EQ(ReadFile(SongPath("A - 断开.mp3")), SongBytes(3));
  EXPECT_EQ(ReadFile(SongPath("A - 短了.mp3")), SongBytes(4));
  EXPECT_EQ(ReadFile(SongPath("A - 不是JSON.mp3")), SongBytes(7));
  EXPECT_EQ(Messages().back(), "下载完成！");
}

TEST_F(RunDownloadsTest, ExistingFilesAndLeftoversOfAnEarlierRun) {
  ListSongs({FixtureSong::Of(1, "已有", {"A"}), FixtureSong::Of(2, "残留", {"A"}),
             FixtureSong::Of(3, "链接", {"A"})});
  const auto write = [](const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
  };
  write(SongPath("A - 已有.mp3"), "mine");
  write(SongPath("A - 残留.mp3.part"), QByteArray(100000, 'g'));  // longer than the song
  const QString outside = scratch.filePath(QStringLiteral("outside"));
  write(outside, "keep");
  ASSERT_TRUE(QFile::link(outside, SongPath("A - 链接.mp3.part")));
  Start();

  EXPECT_EQ(ReadFile(SongPath("A - 已有.mp3")), "mine");  // never replaced
  EXPECT_EQ(services.ResolverIds(), (std::vector<std::string>{"1", "2", "3"}));
  EXPECT_EQ(services.MediaRequestCount(), 2u);
  EXPECT_EQ(ReadFile(SongPath("A - 残留.mp3")), SongBytes(2));
  EXPECT_EQ(ReadFile(SongPath("A - 链接.mp3")), SongBytes(3));
  EXPECT_EQ(ReadFile(outside), "keep");
  EXPECT_EQ(FolderEntries(), Names({"A - 已有.mp3", "A - 残留.mp3", "A - 链接.mp3"}));
  EXPECT_EQ(Messages(), (std::vector<std::string>{"下载完成！"}));
}

// The downloader goes on past a failed write (a full disk); the short file must not pass for the song.
TEST_F(RunDownloadsTest, ASongWhoseWritesFailIsNotSaved) {
  ListSongs({FixtureSong::Of(1, "写不下", {"A"})});
  rlimit unlimited{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &unlimited), 0);
  rlimit limited = unlimited;
  limited.rlim_cur = kSongBytes / 2;  // writes beyond this fail with EFBIG
  const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
  Start();
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &unlimited), 0);
  (void)std::signal(SIGXFSZ, previousHandler);

  EXPECT_EQ(services.MediaRequestCount(), 1u);
  EXPECT_TRUE(FolderEntries().isEmpty());
  EXPECT_EQ(Messages(), (std::vector<std::string>{"下载完成！\n其中1首下载失败"}));
}

// An encoded body announces its encoded length; the file holds the decoded song all the same.
TEST_F(RunDownloadsTest, AnEncodedBodyIsSavedDecoded) {
  ListSongs({FixtureSong::Of(1, "压缩", {"A"}), FixtureSong::Of(2, "分块", {"A"})});
  services.ServeSong(1, test_support::GzipEncoded(SongBytes(1)));
  services.ServeSong(2, test_support::Chunked(SongBytes(2)));
  Start();
  EXPECT_EQ(ReadFile(SongPath("A - 压缩.mp3")), SongBytes(1));
  EXPECT_EQ(ReadFile(SongPath("A - 分块.mp3")), SongBytes(2));
  EXPECT_EQ(Messages(), (std::vector<std::string>{"下载完成！"}));
}

// 标签2 is painted once per song while it is taken up and 标签3 once per chunk, each with its text.
TEST_F(RunDownloadsTest, StatusAndProgressArePaintedAsTheRunGoes) {
  ListSongs({FixtureSong::Of(1, "有长度", {"A"}), FixtureSong::Of(2, "无长度", {"B"})});
  services.ServeSong(2, test_support::CloseDelimited(SongBytes(2)));
  QApplication::processEvents();  // the paints that the fetch left pending
  PaintRecorder status(Find<QLabel>("标签2"));
  PaintRecorder progress(Find<QLabel>("标签3"));
  Start();

  EXPECT_EQ(status.painted, (std::vector<std::string>{"正在处理【A - 有长度】", "正在处理【B - 无长度】"}));
  const std::regex progressText("已下载：([0-9]+)  总大小([0-9]+)");
  const std::string firstTotal = std::to_string(SongBytes(1).size());
  std::vector<std::pair<std::uint64_t, std::string>> seen;
  for (const std::string& text : progress.painted) {
    std::smatch parts;
    ASSERT_TRUE(std::regex_match(text, parts, progressText)) << text;
    seen.emplace_back(std::stoull(parts[1]), parts[2]);
  }
  ASSERT_GE(seen.size(), 6u);  // at least three chunks per song
  std::size_t second = 0;
  while (second < seen.size() && seen[second].second == firstTotal) ++second;
  ASSERT_GT(second, 0u);
  EXPECT_EQ(seen[second - 1].first, SongBytes(1).size());
  for (std::size_t i = second; i < seen.size(); ++i) EXPECT_EQ(seen[i].second, "0");  // no length announced
  EXPECT_EQ(seen.back().first, SongBytes(2).size());
  EXPECT_EQ(Shown(Control::标签3), "已下载：" + std::to_string(SongBytes(2).size()) + "  总大小0");
}

}  // namespace
}  // namespace velbrook::test
