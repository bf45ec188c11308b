#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Playlist pages as the music service serves them: a large HTML head, then the song array on one
// line inside a hidden textarea. Texts are UTF-8.
namespace velbrook::test {

struct FixtureArtist {
  std::optional<std::string> name;  // nullopt: the artist object has no "name"
};

struct FixtureSong {
  std::optional<std::string> id;    // the "id" member as JSON source (a number); nullopt: none
  std::optional<std::string> name;  // the title; nullopt: no "name" member
  std::optional<std::vector<FixtureArtist>> artists;  // nullopt: no "artists" member

  // A song with a numeric identifier, a title and its artists.
  static FixtureSong Of(std::int64_t id, std::string name, std::vector<std::string> artists);
};

struct PageOptions {
  std::size_t headBytes = 64 * 1024;  // filler in the head before the song array
  // A second textarea with its own song array after the first.
  std::optional<std::vector<FixtureSong>> secondArray;
  // Other fields per song, as the service sends them, so that a song weighs about as much as a real one.
  std::size_t paddingBytesPerSong = 400;
};

// A string as a JSON string literal, non-ASCII characters kept as they are.
std::string JsonString(const std::string& utf8);

// The song array as JSON on one line.
std::string SongArrayJson(const std::vector<FixtureSong>& songs, std::size_t paddingBytesPerSong = 0);

// A whole page holding `songs` as its (first) song array.
std::string PlaylistPage(const std::vector<FixtureSong>& songs, const PageOptions& options = {});

// A page of the same shape whose textarea is empty: a playlist without the song array.
std::string PageWithoutSongArray();

}  // namespace velbrook::test
