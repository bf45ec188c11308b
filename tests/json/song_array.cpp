#include "tests/json/song_array.h"

#include <string>

#include "tests/json/gb.h"

namespace velbrook::json_test {
namespace {

// Song ids of the service run past 2^31; the reads must give them whole.
constexpr long long kFirstSongId = 1800000000000LL;

// Pages carry a recommendation text per song; it brings a song to about 1.2 KB.
constexpr const char* kReason =
    "Recommended because you listened to similar songs this week; tap to see the full list of "
    "related playlists, albums and artists chosen for you";

std::string Number(std::size_t value) { return std::to_string(value); }

std::string Quality(const char* name, std::size_t index, int bitRate) {
  return std::string("\"") + name + "\":{\"br\":" + std::to_string(bitRate) +
         ",\"fid\":0,\"size\":" + Number(4000000 + index * 7) + ",\"vd\":-" + Number(20000 + index % 900) +
         ",\"sr\":44100}";
}

}  // namespace

ExpectedSong SongAt(std::size_t index) {
  return {Gb("歌手" + Number(index % 97) + "号"), Gb("第" + Number(index) + "首歌 \"夜曲\" 😀"),
          std::to_string(kFirstSongId + static_cast<long long>(index))};
}

Text SongArrayText(std::size_t songs) {
  std::string utf8 = "[";
  for (std::size_t i = 0; i < songs; ++i) {
    std::string n = Number(i);
    if (i > 0) utf8 += ",";
    utf8 += "{\"name\":\"第" + n + "首歌 \\\"夜曲\\\" \\ud83d\\ude00\",\"id\":" +
            std::to_string(kFirstSongId + static_cast<long long>(i)) +
            ",\"pst\":0,\"t\":0,\"artists\":[{\"id\":" + Number(5000 + i % 97) + ",\"name\":\"歌手" +
            Number(i % 97) + "号\",\"tns\":[],\"alias\":[]},{\"id\":12,\"name\":\"Guest\",\"tns\":[]," +
            "\"alias\":[\"别名\"]}],\"alia\":[],\"pop\":" + Number(i % 100) +
            ",\"st\":0,\"rt\":\"\",\"fee\":8,\"v\":" + Number(30 + i % 11) +
            ",\"crbt\":null,\"cf\":\"\",\"al\":{\"id\":" + Number(70000 + i) + ",\"name\":\"专辑" + n +
            "\",\"picUrl\":\"https://p1.example.net/" + n +
            "/109951163.jpg\",\"tns\":[],\"pic_str\":\"109951163" + n + "\",\"pic\":109951163" + n +
            "},\"dt\":" + Number(180000 + i * 13) + "," + Quality("h", i, 320000) + "," +
            Quality("m", i, 192000) + "," + Quality("l", i, 128000) +
            ",\"a\":null,\"cd\":\"01\",\"no\":" + Number(i % 12 + 1) +
            ",\"rtUrl\":null,\"ftype\":0,\"rtUrls\":[],\"djId\":0,\"copyright\":1,\"s_id\":0,\"mark\":" +
            Number(8192 + i) +
            ",\"originCoverType\":0,\"originSongSimpleData\":null,\"single\":0,\"noCopyrightRcmd\":null," +
            "\"mv\":0,\"rtype\":0,\"rurl\":null,\"mst\":9,\"cp\":" + Number(1416000 + i) +
            ",\"publishTime\":" + Number(1500000000000ULL + i) + ",\"privilege\":{\"id\":" + n +
            ",\"fee\":8,\"payed\":0,\"st\":0,\"pl\":128000,\"dl\":0," +
            "\"sp\":7,\"cp\":1,\"subp\":1,\"cs\":false,\"maxbr\":999000,\"fl\":128000,\"toast\":false," +
            "\"flag\":256,\"preSell\":false},\"alg\":\"alg_featured_" + n + "\",\"reason\":\"" + kReason +
            "\"}";
  }
  utf8 += "]";
  return Gb(utf8);
}

}  // namespace velbrook::json_test
