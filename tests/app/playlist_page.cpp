#include "tests/app/playlist_page.h"

#include <cstdio>

namespace velbrook::test {
namespace {

constexpr std::size_t kHeadLineBytes = 100;

std::string HeadFiller(std::size_t bytes) {
  std::string head;
  head.reserve(bytes + kHeadLineBytes * 2);
  // The head holds array literals of its own, on lines without a textarea.
  head +=
      "<script>var nav = "
      "[{\"href\":\"/discover\",\"t\":\"发现音乐\"},{\"href\":\"/my\",\"t\":\"我的音乐\"}];</script>\n";
  for (int line = 0; head.size() < bytes; ++line) {
    head += ".m-" + std::to_string(line) +
            " { margin: 0 4px; padding: 2px; background: url(/img/sprite.png) no-repeat 0 -120px; }\n";
  }
  return head;
}

std::string ArtistJson(const FixtureArtist& artist, int index) {
  std::string json = "{\"id\":" + std::to_string(1000 + index);
  if (artist.name) json += ",\"name\":" + JsonString(*artist.name);
  json += ",\"tns\":[],\"alias\":[]}";
  return json;
}

std::string SongJson(const FixtureSong& song, std::size_t paddingBytes) {
  std::string json = "{";
  if (song.name) json += "\"name\":" + JsonString(*song.name) + ",";
  if (song.id) json += "\"id\":" + *song.id + ",";
  json += "\"pst\":0,\"t\":0,";
  if (song.artists) {
    json += "\"artists\":[";
    for (std::size_t i = 0; i < song.artists->size(); ++i) {
      if (i > 0) json += ",";
      json += ArtistJson((*song.artists)[i], static_cast<int>(i));
    }
    json += "],";
  }
  json += "\"album\":{\"id\":3084335,\"name\":\"专辑\",\"picUrl\":\"http://p1.example/album.jpg\"},";
  json += "\"comment\":\"";
  json.append(paddingBytes, 'x');
  json += "\",\"duration\":269000,\"fee\":8,\"mvid\":0}";
  return json;
}

}  // namespace

FixtureSong FixtureSong::Of(std::int64_t id, std::string name, std::vector<std::string> artists) {
  FixtureSong song{std::to_string(id), std::move(name), std::vector<FixtureArtist>()};
  for (std::string& artist : artists) song.artists->push_back({std::move(artist)});
  return song;
}

std::string JsonString(const std::string& utf8) {
  std::string json = "\"";
  for (char c : utf8) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      json += '\\';
      json += c;
    } else if (byte < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
      json += escaped;
    } else {
      json += c;
    }
  }
  return json + "\"";
}

std::string SongArrayJson(const std::vector<FixtureSong>& songs, std::size_t paddingBytesPerSong) {
  std::string json = "[";
  for (std::size_t i = 0; i < songs.size(); ++i) {
    if (i > 0) json += ",";
    json += SongJson(songs[i], paddingBytesPerSong);
  }
  return json + "]";
}

std::string PlaylistPage(const std::vector<FixtureSong>& songs, const PageOptions& options) {
  std::string page =
      "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>歌单 - 云端音乐</title>\n<style>\n";
  page += HeadFiller(options.headBytes);
  page += "</style>\n</head>\n<body>\n<div id=\"song-list-pre-cache\">\n";
  page += "<textarea id=\"song-list-pre-data\" style=\"display:none;\">";
  page += SongArrayJson(songs, options.paddingBytesPerSong);
  page += "</textarea>\n";
  if (options.secondArray) {
    page += "<textarea id=\"similar-songs\" style=\"display:none;\">";
    page += SongArrayJson(*options.secondArray, options.paddingBytesPerSong);
    page += "</textarea>\n";
  }
  page += "</div>\n<script src=\"/js/core.js\"></script>\n</body>\n</html>\n";
  return page;
}

std::string PageWithoutSongArray() {
  std::string page = PlaylistPage({});
  const std::string emptyArray = "[]</textarea>";
  page.replace(page.find(emptyArray), emptyArray.size(), "</textarea>");
  return page;
}

}  // namespace velbrook::test
