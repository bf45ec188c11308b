// A download run over hundreds of songs whose resolver and media host fail at random, through the
// real window. Faults are drawn per song from a seed, so a run is reproduced by its seed alone:
// VELBROOK_SOAK_SEED=N picks another one.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "app/song_file_name.h"
#include "base/local_file.h"
#include "tests/app/command_window_fixture.h"
#include "tests/support/closed_port.h"
#include "tests/support/encoding.h"
#include "tests/support/fault_injection.h"
#include "tests/support/ftp_server.h"
#include "tests/support/response_builders.h"
#include "web/internet.h"

namespace velbrook::test {
namespace {

using test_support::Fault;
using test_support::RecordedRequest;
using test_support::Response;

constexpr char kPlaylistId[] = "300";
constexpr int kSongCount = 300;
constexpr std::int64_t kFirstSongId = 1000003;
constexpr std::int64_t kSongIdStep = 7919;
constexpr std::uint64_t kMinSongBytes = 12000;  // two chunks for the downloader at least
constexpr std::uint64_t kSongBytesSpread = 20000;
constexpr std::uint32_t kDefaultSeed = 20240611;
constexpr unsigned kResolverFaultsPerMille = 350;
constexpr unsigned kMediaFaultsPerMille = 400;
// Mixed into the seed for the media host, so that its draws do not follow the resolver's.
constexpr std::uint32_t kMediaSeedMix = 0x9E3779B9u;
// Short limits keep the stalls cheap; the servers stall far longer than the client waits.
constexpr inet::Timeouts kSoakTimeouts{2000, 500};
constexpr auto kServerStall = std::chrono::milliseconds(1500);
constexpr auto kConnectionsCloseWithin = std::chrono::seconds(5);
constexpr char kLoopPath[] = "/loop";
constexpr char kResolverPath[] = "/music/api.php";
constexpr char kMediaPrefix[] = "/songs/";

enum class Side { kResolver, kMedia };

const char* SideName(Side side) { return side == Side::kResolver ? "resolver" : "media"; }

// Every kind but the stall is listed twice: each stall costs the client its whole stall limit.
std::vector<Fault> Weighted(const std::vector<Fault>& kinds) {
  std::vector<Fault> weighted;
  for (const Fault kind : kinds) {
    weighted.push_back(kind);
    if (kind != Fault::kStall) weighted.push_back(kind);
  }
  return weighted;
}

const std::vector<Fault>& ResolverKinds() {
  static const std::vector<Fault> kinds = {
      Fault::kConnectionRefused, Fault::kResetMidBody, Fault::kShortBody,   Fault::kStall,   Fault::kNotFound,
      Fault::kServerError,       Fault::kRedirectLoop, Fault::kHugeHeaders, Fault::kNotJson, Fault::kNullUrl,
      Fault::kRefusedUrl,        Fault::kFileUrl,      Fault::kFtpUrl};
  return kinds;
}

// A resolver that encodes its answer unasked breaks HTTP, so only the media host sends gzip.
const std::vector<Fault>& MediaKinds() {
  static const std::vector<Fault> kinds = {
      Fault::kConnectionRefused, Fault::kResetMidBody, Fault::kShortBody,    Fault::kStall,
      Fault::kNotFound,          Fault::kServerError,  Fault::kRedirectLoop, Fault::kGzip,
      Fault::kHugeHeaders};
  return kinds;
}

// Whether the answer still carries what it should: the song then goes on, or is saved.
bool Harmless(Fault fault) {
  return fault == Fault::kNone || fault == Fault::kGzip || fault == Fault::kHugeHeaders;
}

std::uint32_t SoakSeed() {
  const char* chosen = std::getenv("VELBROOK_SOAK_SEED");
  if (chosen == nullptr || *chosen == '\0') return kDefaultSeed;
  return static_cast<std::uint32_t>(std::strtoul(chosen, nullptr, 10));
}

std::int64_t SongId(int index) { return kFirstSongId + kSongIdStep * index; }

std::string SongBytes(std::int64_t id) {
  return test_support::PatternBytes(kMinSongBytes + static_cast<std::uint64_t>(id) % kSongBytesSpread,
                                    static_cast<std::uint32_t>(id));
}

std::string ReadWhole(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  const QByteArray bytes = file.readAll();
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

QStringList Entries(const QString& folder) {
  return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                QDir::Name);
}

// The process's open file descriptors, the one that the count itself uses included.
std::size_t OpenDescriptorCount() {
  std::error_code error;
  std::size_t count = 0;
  for (std::filesystem::directory_iterator it("/proc/self/fd", error), end; !error && it != end;
       it.increment(error)) {
    ++count;
  }
  return error ? 0 : count;
}

class FaultSoakTest : public CommandWindowTest {
 protected:
  void SetUp() override {
    CommandWindowTest::SetUp();
    inet::SetTimeoutsForTesting(kSoakTimeouts);
    ASSERT_TRUE(elsewhere.isValid());
    ASSERT_TRUE(closedPort.Ok());
    ASSERT_TRUE(ftp.Started()) << ftp.Error();
    ASSERT_TRUE(ftp.PutFile("/song.mp3", kFtpBytes));
    QFile local(LocalFilePath());
    ASSERT_TRUE(local.open(QIODevice::WriteOnly));
    ASSERT_EQ(local.write(kLocalBytes, sizeof kLocalBytes - 1), static_cast<qint64>(sizeof kLocalBytes - 1));
    local.close();

    settings.stall = kServerStall;
    settings.refusedUrl = closedPort.Url("/song.mp3");
    settings.fileUrl = "file://" + LocalFilePath().toStdString();
    settings.ftpUrl = ftp.Url("/song.mp3");

    services.resolver.AddRedirect(kLoopPath, services.resolver.Url(kLoopPath));
    services.media.AddRedirect(kLoopPath, services.media.Url(kLoopPath));
    services.resolver.HandlePrefix(kResolverPath, [this](const RecordedRequest& request) {
      const std::string id = request.QueryParam("id").value_or("");
      return Inject(Side::kResolver, id,
                    test_support::JsonResponse("{\"id\":" + id + ",\"url\":" +
                                               JsonString(services.media.Url(kMediaPrefix + id + ".mp3")) +
                                               ",\"br\":320000,\"size\":0}"));
    });
    services.media.HandlePrefix(kMediaPrefix, [this](const RecordedRequest& request) {
      const std::string id = MediaId(request);
      return Inject(Side::kMedia, id, test_support::OkResponse(SongBytes(std::stoll(id)), "audio/mpeg"));
    });
  }

  void TearDown() override { inet::SetTimeoutsForTesting(inet::Timeouts{}); }

  static std::string MediaId(const RecordedRequest& request) {
    std::string id = request.Path().substr(sizeof kMediaPrefix - 1);
    return id.substr(0, id.find('.'));
  }

  Response Inject(Side side, const std::string& id, Response healthy) {
    if (!faultsOn) return healthy;
    const Fault fault = PlanFor(side).For(id);
    {
      const std::lock_guard lock(mutex);
      ++injected[{side, fault}];
    }
    return test_support::ApplyFault(fault, std::move(healthy), settings);
  }

  const test_support::FaultPlan& PlanFor(Side side) const {
    return side == Side::kResolver ? resolverPlan : mediaPlan;
  }

  QString LocalFilePath() const { return elsewhere.filePath(QStringLiteral("local.mp3")); }

  QString TargetPath(int index) const {
    return QString::fromStdString(TextToUtf8(SongTargetPath(FolderText(), window->ListItemText(index))));
  }

  void ListSongs() {
    static const std::vector<std::string> artists = {"周杰伦", "陈奕迅", "Queen", "Ólafur Arnalds", "五月天"};
    std::vector<FixtureSong> songs;
    for (int i = 0; i < kSongCount; ++i) {
      songs.push_back(FixtureSong::Of(SongId(i), "第" + std::to_string(i) + "首 🎵",
                                      {artists[static_cast<std::size_t>(i) % artists.size()]}));
    }
    services.ServePlaylist(kPlaylistId, PlaylistPage(songs));
    Fetch(kPlaylistId);
  }

  bool WaitForServerConnectionsToClose() const {
    const auto deadline = std::chrono::steady_clock::now() + kConnectionsCloseWithin;
    while (services.playlistSite.OpenConnectionCount() + services.resolver.OpenConnectionCount() +
               services.media.OpenConnectionCount() >
           0) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
  }

  std::vector<std::int64_t> MediaIdsAsked() const {
    std::vector<std::int64_t> ids;
    for (const RecordedRequest& request : services.media.Requests()) {
      if (request.Path().starts_with(kMediaPrefix)) ids.push_back(std::stoll(MediaId(request)));
    }
    std::sort(ids.begin(), ids.end());
    return ids;
  }

  void PrintFigures(const std::map<std::pair<Side, Fault>, int>& survived) const {
    const std::lock_guard lock(mutex);
    std::cout << "fault soak, seed " << seed << ": faults injected and survived by kind\n";
    for (const auto& [key, count] : injected) {
      if (key.second == Fault::kNone) continue;
      const auto found = survived.find(key);
      std::cout << "  " << SideName(key.first) << " " << test_support::FaultName(key.second) << ": " << count
                << " injected, " << (found == survived.end() ? 0 : found->second) << " survived\n";
    }
  }

  static constexpr char kLocalBytes[] = "a local file that no download may copy";
  static constexpr char kFtpBytes[] = "an FTP file that no HTTP download may fetch";

  const std::uint32_t seed = SoakSeed();
  const test_support::FaultPlan resolverPlan{seed, Weighted(ResolverKinds()), kResolverFaultsPerMille};
  const test_support::FaultPlan mediaPlan{seed ^ kMediaSeedMix, Weighted(MediaKinds()), kMediaFaultsPerMille};
  test_support::FaultSettings settings;
  QTemporaryDir elsewhere;
  test_support::ClosedPort closedPort;
  test_support::FtpServer ftp;
  std::atomic<bool> faultsOn{false};
  mutable std::mutex mutex;
  std::map<std::pair<Side, Fault>, int> injected;
};

TEST_F(FaultSoakTest, EverySongIsSavedWholeOrAbsentAndALaterRunSavesTheAbsentOnes) {
  std::cout << "fault soak seed " << seed << " (VELBROOK_SOAK_SEED repeats or changes it)\n";
  ListSongs();
  ASSERT_EQ(window->ListCount(), kSongCount);
  ASSERT_TRUE(WaitForServerConnectionsToClose());
  const std::size_t descriptorsBefore = OpenDescriptorCount();
  const std::size_t handlesBefore = inet::OpenHandleCount();
  const std::size_t filesBefore = OpenFileCount();

  faultsOn = true;
  const auto started = std::chrono::steady_clock::now();
  Start();
  const auto took = std::chrono::steady_clock::now() - started;
  ASSERT_TRUE(WaitForServerConnectionsToClose());
  EXPECT_EQ(OpenDescriptorCount(), descriptorsBefore);
  EXPECT_EQ(inet::OpenHandleCount(), handlesBefore);
  EXPECT_EQ(OpenFileCount(), filesBefore);

  // Each song ends as its faults decide: saved byte for byte when both answers still carry it,
  // otherwise absent. A saved file can hold nothing else, so neither the local file nor the FTP
  // file has reached the folder.
  std::vector<std::int64_t> absent;
  int lost = 0;  // songs that should stand saved and do not, or stand with other bytes
  std::map<std::pair<Side, Fault>, int> survived;
  for (int i = 0; i < kSongCount; ++i) {
    const std::int64_t id = SongId(i);
    const Fault resolverFault = resolverPlan.For(std::to_string(id));
    const Fault mediaFault = Harmless(resolverFault) ? mediaPlan.For(std::to_string(id)) : Fault::kNone;
    const bool shouldBeSaved = Harmless(resolverFault) && Harmless(mediaFault);
    const QString path = TargetPath(i);
    const bool saved = QFile::exists(path);
    const bool whole = saved && ReadWhole(path) == SongBytes(id);
    if (!saved) absent.push_back(id);
    if ((saved && !whole) || (shouldBeSaved && !saved)) ++lost;
    EXPECT_EQ(saved, whole) << path.toStdString() << " holds other bytes than the song";
    EXPECT_EQ(saved, shouldBeSaved) << path.toStdString() << ": resolver "
                                    << test_support::FaultName(resolverFault) << ", media "
                                    << test_support::FaultName(mediaFault);
    if (saved == shouldBeSaved && saved == whole) {
      ++survived[{Side::kResolver, resolverFault}];
      if (Harmless(resolverFault)) ++survived[{Side::kMedia, mediaFault}];
    }
  }
  EXPECT_EQ(FolderEntries().size(), kSongCount - static_cast<qsizetype>(absent.size()));
  for (const QString& name : FolderEntries()) EXPECT_TRUE(name.endsWith(".mp3")) << name.toStdString();
  EXPECT_EQ(ScratchEntries(), QStringList{QStringLiteral("下载")});
  EXPECT_EQ(Entries(elsewhere.path()), QStringList{QStringLiteral("local.mp3")});
  EXPECT_EQ(ReadWhole(LocalFilePath()), kLocalBytes);
  EXPECT_TRUE(ftp.Commands().empty()) << "an ftp:// URL was opened for an HTTP download";
  ASSERT_FALSE(absent.empty());
  EXPECT_EQ(Messages(),
            (std::vector<std::string>{"下载完成！\n其中" + std::to_string(absent.size()) + "首下载失败"}));
  PrintFigures(survived);
  std::cout << "first run: " << kSongCount - static_cast<int>(absent.size()) << " saved, " << absent.size()
            << " absent, " << lost << " files lost, "
            << std::chrono::duration_cast<std::chrono::milliseconds>(took).count() << " ms\n";

  faultsOn = false;
  services.ClearRequests();
  Start();
  EXPECT_EQ(MediaIdsAsked(), absent);
  EXPECT_EQ(services.resolver.RequestCount(), static_cast<std::size_t>(kSongCount));
  // Compared as a whole, so that a failure names the file instead of printing its bytes.
  for (int i = 0; i < kSongCount; ++i) {
    EXPECT_TRUE(ReadWhole(TargetPath(i)) == SongBytes(SongId(i))) << TargetPath(i).toStdString();
  }
  EXPECT_EQ(FolderEntries().size(), kSongCount);
  EXPECT_EQ(Messages().back(), "下载完成！");
  EXPECT_EQ(Shown(Control::标签2), "处理完毕 共有" + std::to_string(2 * kSongCount) + "条记录");
}

// Answers that are healthy as HTTP goes but hold no whole song: a 206 to a request without a range,
// and answers without a byte. None may stand as the song, which a later run would then skip.
class WholeSongTest : public CommandWindowTest {};

TEST_F(WholeSongTest, AnswersWithoutTheWholeSongAreNotSaved) {
  std::vector<FixtureSong> songs;
  const std::vector<std::pair<const char*, Response>> answers = [] {
    Response piece = test_support::TextResponse(206, SongBytes(1).substr(0, 5000), "audio/mpeg");
    piece.headers.push_back({"Content-Range", "bytes 0-4999/" + std::to_string(SongBytes(1).size())});
    return std::vector<std::pair<const char*, Response>>{
        {"只有一段", piece},
        {"无内容", test_support::TextResponse(204, "", "")},
        {"空的", test_support::OkResponse("", "audio/mpeg")},
    };
  }();
  for (std::size_t i = 0; i < answers.size(); ++i) {
    const auto id = static_cast<std::int64_t>(i + 1);
    songs.push_back(FixtureSong::Of(id, answers[i].first, {"A"}));
    services.ServeSong(id, answers[i].second);
  }
  services.ServePlaylist(kPlaylistId, PlaylistPage(songs));
  Fetch(kPlaylistId);
  Start();
  EXPECT_TRUE(FolderEntries().isEmpty());
  EXPECT_EQ(Messages(), (std::vector<std::string>{"下载完成！\n其中3首下载失败"}));

  for (std::int64_t id = 1; id <= 3; ++id) services.ServeSong(id, test_support::OkResponse(SongBytes(id)));
  Start();
  EXPECT_EQ(FolderEntries().size(), 3);
  EXPECT_TRUE(ReadWhole(SongPath("A - 只有一段.mp3")) == SongBytes(1));
  EXPECT_EQ(Messages().back(), "下载完成！");
}

}  // namespace
}  // namespace velbrook::test
