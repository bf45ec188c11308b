// Bad playlist pages fetched through the real window: each gives the list that the fetch's rules
// give (the page from UTF-8 up to its first zero byte, the lazy marker pattern on one line, the
// first group parsed as JSON only), in bounded time. A run over hostile titles then writes only
// directly inside the chosen folder.
#include <QFile>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "tests/app/command_window_fixture.h"
#include "tests/app/playlist_page.h"
#include "tests/support/encoding.h"
#include "tests/support/response_builders.h"

namespace velbrook::test {
namespace {

constexpr char kPlaylistId[] = "404";
constexpr char kClosingTag[] = "</textarea>";
// Far above what each page takes and below the bounds of the regex run and the script engine, so
// that a page which ran into either of them fails here.
constexpr auto kFetchTimeBound = std::chrono::seconds(8);
constexpr auto kLargeFetchTimeBound = std::chrono::seconds(30);
constexpr std::size_t kLargePageBytes = 50 * 1000 * 1000;
constexpr std::uint64_t kSongBytes = 15000;

using Listed = std::vector<std::pair<std::string, std::int64_t>>;

// The realistic page of the playlist site with `arrayText` in place of its song array.
std::string PageAround(const std::string& arrayText) {
  std::string page = PlaylistPage({});
  const std::string emptyArray = std::string("[]") + kClosingTag;
  page.replace(page.find(emptyArray), emptyArray.size(), arrayText + kClosingTag);
  return page;
}

// Every ASCII control character, then "/", "\" and "..".
std::string HostileText() {
  std::string text;
  for (int c = 0; c < 0x20; ++c) text += static_cast<char>(c);
  return text + "\x7f/\\..";
}

std::string Repeat(const std::string& piece, int times) {
  std::string text;
  for (int i = 0; i < times; ++i) text += piece;
  return text;
}

// A song whose members are JSON source as written.
std::string SongSource(const std::string& nameJson, const std::string& idJson) {
  return "{\"name\":" + nameJson + ",\"id\":" + idJson + ",\"artists\":[{\"id\":7,\"name\":\"甲\"}],\"t\":0}";
}

class BadPageTest : public CommandWindowTest {
 protected:
  // Fetches `page` through the window and gives the list with the time the click took.
  std::pair<Listed, std::chrono::milliseconds> FetchPage(std::string page) {
    services.playlistSite.Serve("/playlist", test_support::HtmlResponse(std::move(page)));
    window->AddListItem("left over", 1);
    const auto started = std::chrono::steady_clock::now();
    Fetch(kPlaylistId);
    const auto took =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started);
    Listed listed;
    const std::vector<std::string> lines = Lines();
    const std::vector<std::int64_t> values = Values();
    for (std::size_t i = 0; i < lines.size(); ++i) listed.emplace_back(lines[i], values[i]);
    return {listed, took};
  }
};

struct PageCase {
  const char* what;
  std::string page;
  Listed list;
};

std::vector<PageCase> BadPages() {
  const std::vector<FixtureSong> two = {FixtureSong::Of(1, "一", {"甲"}), FixtureSong::Of(2, "二", {"乙"})};
  const Listed twoListed = {{"甲 - 一", 1}, {"乙 - 二", 2}};
  const std::string whole = PlaylistPage(two);
  const std::string arrayOfTwo = SongArrayJson(two);
  const std::size_t tagAt = whole.find(kClosingTag);
  const std::string hostile = HostileText();
  const std::string longTitle(1000, 'T');
  const std::string cjkTitle = Repeat("歌", 500);  // 1,000 bytes in GB18030
  const std::vector<FixtureSong> sameSong(1000, FixtureSong::Of(5, "同一首", {"A"}));
  const std::size_t arrayAt = whole.find("[{", whole.find("<textarea"));
  std::string capitals = whole;
  capitals.replace(tagAt, sizeof kClosingTag - 1, "</TEXTAREA>");
  std::string withZero = PageAround(arrayOfTwo);
  withZero.insert(withZero.find("<textarea"), 1, '\0');
  return {
      {"the control case", whole, twoListed},
      {"cut inside the array", whole.substr(0, (arrayAt + tagAt) / 2), {}},
      {"cut right before the closing tag", whole.substr(0, tagAt), {}},
      {"cut inside the closing tag", whole.substr(0, tagAt + 5), {}},
      {"a trailing comma", PageAround("[" + SongSource("\"a\"", "1") + ",]"), {}},
      {"single quotes", PageAround("[{'name':'a','id':1}]"), {}},
      {"a missing quote", PageAround("[{\"name\":\"a,\"id\":1}]"), {}},
      // The line break ends the line: the match then starts at the artists' "[{" after it, and
      // "[{" + that + "}]" closes the artists' array early and does not parse either.
      {"an unescaped line break in a title", PageAround("[" + SongSource("\"x\ny\"", "1") + "]"), {}},
      // Without "}]" right before it the tag inside the title does not end the match.
      {"a closing tag inside a title",
       PageAround("[" + SongSource("\"x</textarea>y\"", "1") + "]"),
       {{"甲 - x</textarea>y", 1}}},
      // Here the lazy group stops inside the title: "[{" + "\"name\":\"x" + "}]" leaves the
      // string open, so there is no array; the same in capitals, since case is ignored.
      {"the array's end and the tag inside a title",
       PageAround("[" + SongSource("\"x}]</textarea>y\"", "1") + "]"),
       {}},
      {"the array's end and the tag in capitals inside a title",
       PageAround(arrayOfTwo.substr(0, arrayOfTwo.size() - 1) + "," + SongSource("\"x}]</TEXTAREA>\"", "3") +
                  "]"),
       {}},
      {"a zero byte before the array", withZero, {}},
      {"a zero byte after the array", whole + std::string(1, '\0') + "tail", twoListed},
      {"not UTF-8", PageAround(SongArrayJson({FixtureSong::Of(1, "\xC3\x28", {"A"})})), {}},
      {"Latin-1 bytes", PageAround(SongArrayJson({FixtureSong::Of(1, "caf\xE9", {"A"})})), {}},
      {"an overlong slash",
       PageAround(SongArrayJson({FixtureSong::Of(1,
                                                 "a\xC0\xAF"
                                                 "b",
                                                 {"A"})})),
       {}},
      {"a UTF-8 surrogate", PageAround(SongArrayJson({FixtureSong::Of(1, "\xED\xA0\x80", {"A"})})), {}},
      {"controls, slashes and dots in titles and artists",
       PlaylistPage({FixtureSong::Of(3, hostile, {hostile})}),
       {{hostile + " - " + hostile, 3}}},
      {"1,000-byte titles",
       PlaylistPage({FixtureSong::Of(4, longTitle, {"L"}), FixtureSong::Of(5, cjkTitle, {"长"})}),
       {{"L - " + longTitle, 4}, {"长 - " + cjkTitle, 5}}},
      {"the same line 1,000 times", PlaylistPage(sameSong), Listed(1000, {"A - 同一首", 5})},
      {"script after the array", PageAround(arrayOfTwo + ";while(true){}//" + arrayOfTwo), {}},
      {"script that would add a song",
       PageAround(arrayOfTwo + ".concat([" + SongSource("\"injected\"", "9") + "])||[" +
                  SongSource("\"z\"", "0") + "]"),
       {}},
      {"a function call as a value", PageAround("[{\"name\":(function(){return 'x'})(),\"id\":1}]"), {}},
      {"a getter", PageAround("[{get name(){return 'x'},\"id\":1}]"), {}},
      {"markup and script as titles",
       PlaylistPage({FixtureSong::Of(1, "</script><script>alert(1)</script>", {"<b>"}),
                     FixtureSong::Of(2, "'); throw 1; ('", {"\"+x+\""})}),
       {{"<b> - </script><script>alert(1)</script>", 1}, {"\"+x+\" - '); throw 1; ('", 2}}},
      {"a prototype member",
       PageAround("[{\"__proto__\":{\"name\":\"polluted\",\"id\":66},\"id\":1}]"),
       {{" - ", 1}}},
      {"two arrays: the first counts",
       PlaylistPage(two,
                    PageOptions{.secondArray = std::vector<FixtureSong>{FixtureSong::Of(9, "三", {"丙"})}}),
       twoListed},
      {"the closing tag in capitals", capitals, twoListed},
  };
}

TEST_F(BadPageTest, EachPageGivesTheListTheRulesSay) {
  for (const PageCase& c : BadPages()) {
    SCOPED_TRACE(c.what);
    const auto [listed, took] = FetchPage(c.page);
    EXPECT_EQ(listed, c.list);
    EXPECT_EQ(Shown(Control::标签2), "共采集到" + std::to_string(c.list.size()) + "首歌");
    EXPECT_LT(took, kFetchTimeBound);
    std::cout << "bad page, " << c.what << ": " << c.page.size() << " bytes, " << listed.size() << " songs, "
              << took.count() << " ms\n";
  }
}

// 50 MB pages, each built once: a head of filler lines before the array, and one line of array
// openings that never close, on which the lazy group has every opening to try.
TEST_F(BadPageTest, FiftyMegabytePagesEndInBoundedTime) {
  PageOptions largeHead;
  largeHead.headBytes = kLargePageBytes;
  const std::string openings =
      PageAround(Repeat("[{\"name\":\"x\",", static_cast<int>(kLargePageBytes / 13)) + "]");
  struct LargeCase {
    const char* what;
    std::string page;
    Listed list;
  };
  std::vector<LargeCase> cases;
  cases.push_back(
      {"filler lines, then the array",
       PlaylistPage({FixtureSong::Of(1, "一", {"甲"}), FixtureSong::Of(2, "二", {"乙"})}, largeHead),
       {{"甲 - 一", 1}, {"乙 - 二", 2}}});
  cases.push_back({"one line of openings", openings, {}});
  for (LargeCase& c : cases) {
    SCOPED_TRACE(c.what);
    const std::size_t bytes = c.page.size();
    ASSERT_GE(bytes, kLargePageBytes);
    const auto [listed, took] = FetchPage(std::move(c.page));
    EXPECT_EQ(listed, c.list);
    EXPECT_LT(took, kLargeFetchTimeBound);
    std::cout << "bad page, 50 MB, " << c.what << ": " << bytes << " bytes, " << listed.size() << " songs, "
              << took.count() << " ms\n";
  }
}

// Hostile titles become names of files directly inside the folder: no separator, no control
// character, no name beyond 255 bytes; a repeated line is saved once and then counts as present.
TEST_F(BadPageTest, ARunOverHostileTitlesWritesOnlyInsideTheFolder) {
  const std::string hostile = HostileText();
  const std::vector<FixtureSong> songs = {
      FixtureSong::Of(1, hostile, {hostile}),
      FixtureSong::Of(2, "../../../etc/passwd", {".."}),
      FixtureSong::Of(3, "/", {"/"}),
      FixtureSong::Of(4, std::string(1000, 'T'), {"L"}),
      FixtureSong::Of(5, Repeat("歌", 500), {"长"}),
      FixtureSong::Of(6, "</script><script>alert(1)</script>", {"<b>"}),
      FixtureSong::Of(7, "同一首", {"A"}),
      FixtureSong::Of(7, "同一首", {"A"}),
      FixtureSong::Of(7, "同一首", {"A"}),
  };
  services.ServePlaylist(kPlaylistId, PlaylistPage(songs));
  for (std::int64_t id = 1; id <= 7; ++id) {
    services.ServeSong(
        id, test_support::OkResponse(test_support::PatternBytes(kSongBytes, static_cast<std::uint32_t>(id))));
  }
  Fetch(kPlaylistId);
  ASSERT_EQ(window->ListCount(), static_cast<int>(songs.size()));
  services.ClearRequests();
  Start();

  const std::string hostileStem = std::string(34, '_') + "\\..";  // 33 controls and "/"
  const std::vector<std::string> names = {
      hostileStem + " - " + hostileStem + ".mp3",
      ".. - .._.._.._etc_passwd.mp3",
      "_ - _.mp3",
      "L - " + std::string(242, 'T') + ".mp3",  // 246 bytes, room for ".mp3" and ".part"
      "长 - " + Repeat("歌", 80) + ".mp3",      // 6 + 240 bytes
      "<b> - <_script><script>alert(1)<_script>.mp3",
      "A - 同一首.mp3",
  };
  QStringList expected;
  for (const std::string& name : names) expected << QString::fromStdString(name);
  expected.sort();
  EXPECT_EQ(FolderEntries(), expected);
  EXPECT_EQ(ScratchEntries(), QStringList{QStringLiteral("下载")});
  EXPECT_EQ(services.resolver.RequestCount(), songs.size());
  EXPECT_EQ(services.MediaRequestCount(), 7u);
  for (const std::string& name : {names[0], names[3]}) {
    QFile file(FolderPath() + "/" + QString::fromStdString(name));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << name;
    EXPECT_EQ(file.readAll().size(), static_cast<qsizetype>(kSongBytes)) << name;
  }
  EXPECT_EQ(Messages(), (std::vector<std::string>{"下载完成！"}));
}

}  // namespace
}  // namespace velbrook::test
