#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "tests/app/playlist_page.h"
#include "tests/support/test_server.h"

namespace velbrook::test {

// The three services a download run meets, each a scripted server of its own on 127.0.0.1: the
// playlist site ("/playlist?id=..."), the song-URL resolver ("/music/api.php?...&id=...") and the
// media host ("/songs/ID.mp3"). Unless told otherwise the resolver answers {"url": ...} with the
// song's address on the media host, and the media host answers 404.
class FixtureServices {
 public:
  FixtureServices();
  FixtureServices(const FixtureServices&) = delete;
  FixtureServices& operator=(const FixtureServices&) = delete;

  bool Started() const;
  std::string PlaylistHost() const { return playlistSite.HostPort(); }
  std::string ResolverHost() const { return resolver.HostPort(); }

  // The page that "/playlist?id=" + `playlistId` answers with.
  void ServePlaylist(const std::string& playlistId, std::string page);

  // What the media host answers for the song, at the address the resolver gives for it.
  void ServeSong(std::int64_t songId, test_support::Response response);
  std::string MediaUrl(std::int64_t songId) const;
  // What the resolver answers for the song instead of its media address.
  void AnswerResolver(std::int64_t songId, test_support::Response response);

  // The "id" values the resolver was asked for, in order.
  std::vector<std::string> ResolverIds() const;
  std::size_t MediaRequestCount() const { return media.RequestCount(); }
  void ClearRequests();

  test_support::TestServer playlistSite;
  test_support::TestServer resolver;
  test_support::TestServer media;

 private:
  test_support::Response ResolverAnswer(const test_support::RecordedRequest& request);

  mutable std::mutex mutex_;
  std::map<std::string, test_support::Response> resolverAnswers_;
};

// The small sample playlist of the demo and the screenshot: Chinese, Latin and emoji titles, several
// artists, each song with media bytes of its own.
inline constexpr char kSamplePlaylistId[] = "2147483648";
std::vector<FixtureSong> SampleSongs();
// The bytes the media host serves for a sample song.
std::string SampleMediaBytes(std::int64_t songId);
// Serves the sample playlist and the media of its songs, paced by `piece` bytes every `delay` so
// that a person watching sees the progress move (no pacing with 0).
void ServeSamplePlaylist(FixtureServices& services, std::size_t pieceBytes = 0, int pieceDelayMs = 0);

}  // namespace velbrook::test
