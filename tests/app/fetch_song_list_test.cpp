#include <QLineEdit>
#include <QTest>

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/app/command_window_fixture.h"
#include "tests/app/playlist_page.h"
#include "tests/support/closed_port.h"
#include "tests/support/response_builders.h"

namespace velbrook::test {
namespace {

using test_support::Response;

constexpr char kPlaylistId[] = "24381616";

class FetchSongListTest : public CommandWindowTest {};

TEST_F(FetchSongListTest, ThreeSongsShowTheFirstArtistAndTheIdentifier) {
  services.ServePlaylist(
      kPlaylistId, PlaylistPage({FixtureSong::Of(123, "T", {"A", "B"}), FixtureSong::Of(456, "U", {"C"}),
                                 FixtureSong::Of(789, "V", {"D"})}));
  Fetch(kPlaylistId);

  EXPECT_EQ(Lines(), (std::vector<std::string>{"A - T", "C - U", "D - V"}));
  EXPECT_EQ(Values(), (std::vector<std::int64_t>{123, 456, 789}));
  EXPECT_EQ(Shown(Control::标签2), "共采集到3首歌");
  EXPECT_EQ(Shown(Control::按钮2), "开始下载");
  ASSERT_EQ(services.playlistSite.RequestCount(), 1u);
  EXPECT_EQ(services.playlistSite.LastRequest()->target, std::string("/playlist?id=") + kPlaylistId);
  EXPECT_EQ(services.playlistSite.LastRequest()->method, "GET");
}

// Titles and names in several scripts, songs that lack fields, and identifiers beyond 32 bits.
TEST_F(FetchSongListTest, RealisticPageGivesOneLinePerSong) {
  struct Case {
    FixtureSong song;
    const char* line;
    std::int64_t value;
  };
  const std::vector<Case> cases = {
      {FixtureSong::Of(186016, "晴天", {"周杰伦"}), "周杰伦 - 晴天", 186016},
      {FixtureSong::Of(386538, "倔强 🎸", {"五月天", "阿信"}), "五月天 - 倔强 🎸", 386538},
      {FixtureSong::Of(7, "𠮷野家 ©", {"Ólafur Arnalds"}), "Ólafur Arnalds - 𠮷野家 ©", 7},
      {FixtureSong::Of(8, "Say \"hi\" \\ & <b>", {"A&B"}), "A&B - Say \"hi\" \\ & <b>", 8},
      {FixtureSong{"9", "无歌手", std::nullopt}, " - 无歌手", 9},
      {FixtureSong{"10", "无名歌手", std::vector<FixtureArtist>{{std::nullopt}}}, " - 无名歌手", 10},
      {FixtureSong{std::nullopt, "无编号", std::vector<FixtureArtist>{{"某人"}}}, "某人 - 无编号", 0},
      {FixtureSong{"11", std::nullopt, std::vector<FixtureArtist>{{"某人"}}}, "某人 - ", 11},
      {FixtureSong::Of(2147483648, "大", {"X"}), "X - 大", 2147483648},
      {FixtureSong::Of(9007199254740991, "更大", {"X"}), "X - 更大", 9007199254740991},
      {FixtureSong{"-5", "负", std::vector<FixtureArtist>{{"X"}}}, "X - 负", -5},
      {FixtureSong{"\" 42 首\"", "文字编号", std::vector<FixtureArtist>{{"X"}}}, "X - 文字编号", 42},
  };
  std::vector<FixtureSong> songs;
  for (const Case& c : cases) songs.push_back(c.song);
  services.ServePlaylist(kPlaylistId, PlaylistPage(songs));
  Fetch(kPlaylistId);

  ASSERT_EQ(window->ListCount(), static_cast<int>(cases.size()));
  for (std::size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(cases[i].line);
    EXPECT_EQ(Utf8(window->ListItemText(static_cast<int>(i))), cases[i].line);
    EXPECT_EQ(window->ListItemValue(static_cast<int>(i)), cases[i].value);
  }
  EXPECT_EQ(Shown(Control::标签2), "共采集到" + std::to_string(cases.size()) + "首歌");
}

TEST_F(FetchSongListTest, OnlyTheFirstArrayCountsAndASecondFetchReplacesTheList) {
  PageOptions options;
  options.secondArray = std::vector<FixtureSong>{FixtureSong::Of(9, "相似", {"别人"})};
  services.ServePlaylist(
      kPlaylistId,
      PlaylistPage({FixtureSong::Of(1, "一", {"甲"}), FixtureSong::Of(2, "二", {"乙"})}, options));
  Fetch(kPlaylistId);
  EXPECT_EQ(Lines(), (std::vector<std::string>{"甲 - 一", "乙 - 二"}));

  window->SetCaption(Control::按钮2, Utf8ToText("别的"));
  services.ServePlaylist("77", PlaylistPage({FixtureSong::Of(3, "三", {"丙"})}));
  Fetch("77");
  EXPECT_EQ(Lines(), (std::vector<std::string>{"丙 - 三"}));
  EXPECT_EQ(Values(), (std::vector<std::int64_t>{3}));
  EXPECT_EQ(Shown(Control::标签2), "共采集到1首歌");
  EXPECT_EQ(Shown(Control::按钮2), "开始下载");
}

// Without a song array there is no song at all: no line made of nothing, nothing for a run to save.
TEST_F(FetchSongListTest, NoSongArrayLeavesTheListEmpty) {
  std::string latin1Page = PlaylistPage({FixtureSong::Of(1, "Caf\xC3\xA9", {"X"})});
  latin1Page.replace(latin1Page.find("\xC3\xA9"), 2, "\xE9");  // one byte that is not UTF-8
  std::string cutPage = PlaylistPage({FixtureSong::Of(1, "一", {"甲"})});
  cutPage.erase(cutPage.find("\"pst\""), 20);  // the array no longer parses

  struct Case {
    const char* what;
    Response answer;
  };
  const std::vector<Case> cases = {
      {"a page without the array", test_support::HtmlResponse(PageWithoutSongArray())},
      {"a playlist of no songs", test_support::HtmlResponse(PlaylistPage({}))},
      {"a page that is not UTF-8", test_support::HtmlResponse(latin1Page)},
      {"an array that does not parse", test_support::HtmlResponse(cutPage)},
      {"an error page", test_support::NotFoundHtml()},
      {"an empty body", test_support::HtmlResponse("")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    window->AddListItem("left over", 1);
    services.playlistSite.Serve("/playlist", c.answer);
    Fetch(kPlaylistId);
    EXPECT_EQ(window->ListCount(), 0);
    EXPECT_EQ(Shown(Control::标签2), "共采集到0首歌");
    EXPECT_EQ(Shown(Control::按钮2), "开始下载");
  }

  test_support::ClosedPort closed;
  ASSERT_TRUE(closed.Ok());
  OpenWindow("127.0.0.1:" + std::to_string(closed.Port()), services.ResolverHost());
  window->AddListItem("left over", 1);
  Fetch(kPlaylistId);
  EXPECT_EQ(window->ListCount(), 0);
  EXPECT_EQ(Shown(Control::标签2), "共采集到0首歌");
}

TEST_F(FetchSongListTest, TheUrlCarriesTheBoxTextAsItIs) {
  services.playlistSite.Serve("/playlist", test_support::HtmlResponse(PageWithoutSongArray()));
  auto* edit = Find<QLineEdit>("编辑框1");
  edit->setFocus();
  QTest::keyClicks(edit, "9007199254740993");  // beyond 32 bits, and beyond a double's precision
  Click("按钮1");
  Fetch("");
  const std::vector<test_support::RecordedRequest> requests = services.playlistSite.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].target, "/playlist?id=9007199254740993");
  EXPECT_EQ(requests[1].target, "/playlist?id=");
}

}  // namespace
}  // namespace velbrook::test
