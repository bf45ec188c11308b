#include "tests/app/fixture_services.h"

#include <utility>

#include "tests/support/encoding.h"
#include "tests/support/response_builders.h"

namespace velbrook::test {
namespace {

constexpr char kResolverPath[] = "/music/api.php";
constexpr std::uint64_t kSampleMediaBaseBytes = 60000;

struct SampleSong {
  std::int64_t id;
  const char* name;
  std::vector<std::string> artists;
};

const std::vector<SampleSong>& SampleTable() {
  static const std::vector<SampleSong> table = {
      {186016, "晴天", {"周杰伦"}},
      {66282, "十年", {"陈奕迅"}},
      {449818741, "光年之外", {"邓紫棋"}},
      {386538, "倔强 🎸", {"五月天"}},
      {26305527, "江南 (Live)", {"林俊杰", "阿信"}},
      {28111222, "Saman", {"Ólafur Arnalds"}},
      {2147483649, "𠮷野家之歌", {"黃品源"}},
      {1469311, "Bohemian Rhapsody", {"Queen"}},
  };
  return table;
}

}  // namespace

FixtureServices::FixtureServices() {
  resolver.HandlePrefix(kResolverPath, [this](const test_support::RecordedRequest& request) {
    return ResolverAnswer(request);
  });
}

bool FixtureServices::Started() const {
  return playlistSite.Started() && resolver.Started() && media.Started();
}

void FixtureServices::ServePlaylist(const std::string& playlistId, std::string page) {
  playlistSite.Handle("/playlist",
                      [playlistId, page = std::move(page)](const test_support::RecordedRequest& request) {
                        if (request.QueryParam("id").value_or("") != playlistId)
                          return test_support::NotFoundHtml();
                        return test_support::HtmlResponse(page);
                      });
}

void FixtureServices::ServeSong(std::int64_t songId, test_support::Response response) {
  media.Serve("/songs/" + std::to_string(songId) + ".mp3", std::move(response));
}

std::string FixtureServices::MediaUrl(std::int64_t songId) const {
  return media.Url("/songs/" + std::to_string(songId) + ".mp3");
}

void FixtureServices::AnswerResolver(std::int64_t songId, test_support::Response response) {
  const std::lock_guard lock(mutex_);
  resolverAnswers_.insert_or_assign(std::to_string(songId), std::move(response));
}

test_support::Response FixtureServices::ResolverAnswer(const test_support::RecordedRequest& request) {
  const std::string id = request.QueryParam("id").value_or("");
  {
    const std::lock_guard lock(mutex_);
    const auto found = resolverAnswers_.find(id);
    if (found != resolverAnswers_.end()) return found->second;
  }
  return test_support::JsonResponse("{\"id\":" + id +
                                    ",\"url\":" + JsonString(media.Url("/songs/" + id + ".mp3")) +
                                    ",\"br\":320000,\"size\":0}");
}

std::vector<std::string> FixtureServices::ResolverIds() const {
  std::vector<std::string> ids;
  for (const test_support::RecordedRequest& request : resolver.Requests()) {
    ids.push_back(request.QueryParam("id").value_or("(none)"));
  }
  return ids;
}

void FixtureServices::ClearRequests() {
  playlistSite.ClearRequests();
  resolver.ClearRequests();
  media.ClearRequests();
}

std::vector<FixtureSong> SampleSongs() {
  std::vector<FixtureSong> songs;
  for (const SampleSong& song : SampleTable())
    songs.push_back(FixtureSong::Of(song.id, song.name, song.artists));
  return songs;
}

std::string SampleMediaBytes(std::int64_t songId) {
  return test_support::PatternBytes(kSampleMediaBaseBytes + static_cast<std::uint64_t>(songId % 50000),
                                    static_cast<std::uint32_t>(songId));
}

void ServeSamplePlaylist(FixtureServices& services, std::size_t pieceBytes, int pieceDelayMs) {
  services.ServePlaylist(kSamplePlaylistId, PlaylistPage(SampleSongs()));
  for (const SampleSong& song : SampleTable()) {
    test_support::Response response = test_support::OkResponse(SampleMediaBytes(song.id), "audio/mpeg");
    response.pieceBytes = pieceBytes;
    response.pieceDelay = std::chrono::milliseconds(pieceDelayMs);
    services.ServeSong(song.id, std::move(response));
  }
}

}  // namespace velbrook::test
