#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <iostream>
#include <string>

#include "regex/match_engine.h"
#include "regex/regex_matcher.h"
#include "tests/regex/gb_text.h"

namespace velbrook {
namespace {

using testing_support::Gb;

const char kProgramPattern[] = R"(\[{(.*?)}\]</textarea>)";
// Generous: on this kind of pattern the limits stop the engine in well under a second.
constexpr double kBoundedSeconds = 5.0;

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

TEST(RegexLimits, PathologicalBacktrackingFailsWithinBoundedTime) {
  // The longest subject is as long as a large playlist page, where the step limit has grown fourfold;
  // the interpreter, a fallback only, is tried on the shorter ones.
  const struct {
    std::size_t letters;
    bool useJit;
  } kCases[] = {{40, true}, {1 << 20, true}, {12 << 20, true}, {40, false}, {1 << 20, false}};
  for (const auto& c : kCases) {
    const std::string subject = std::string(c.letters, 'a') + "b";
    SCOPED_TRACE(testing::Message() << "jit " << c.useJit << ", " << subject.size() << " bytes");
    regex_detail::MatchOptions options;
    options.useJit = c.useJit;
    regex_detail::MatchList matches;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(regex_detail::FindMatches("(a+)+$", subject, options, MonotonicTickCount, matches),
              RegexStatus::kMatchLimit);
    double seconds = SecondsSince(start);
    EXPECT_LT(seconds, kBoundedSeconds);
    EXPECT_EQ(matches.Count(), 0u);
    std::cout << "(a+)+$ over " << subject.size() << " bytes, jit " << c.useJit << ": stopped after "
              << seconds * 1000 << " ms\n";
  }
}

TEST(RegexLimits, MatcherReportsAPatternStoppedAtTheLimit) {
  RegexMatcher matcher;
  EXPECT_FALSE(matcher.Create("(a+)+$", std::string(40, 'a') + "b"));
  EXPECT_EQ(matcher.Status(), RegexStatus::kMatchLimit);
  EXPECT_EQ(matcher.MatchCount(), 0);
  EXPECT_EQ(matcher.Replace("x"), "");
}

TEST(RegexLimits, RunStopsWhenItsTimeBudgetIsSpent) {
  const std::string subject(100, 'a');
  std::uint32_t now = 0xFFFFF000u;  // the tick counter wraps during the run
  RegexMatcher slow([&now] { return now += 1000; });
  EXPECT_FALSE(slow.Create("a", subject));
  EXPECT_EQ(slow.Status(), RegexStatus::kTimeLimit);
  EXPECT_EQ(slow.MatchCount(), 0);

  RegexMatcher fast;
  EXPECT_TRUE(fast.Create("a", subject));
  EXPECT_EQ(fast.MatchCount(), 100);
}

// A playlist page as the service serves it: a large head with scripts (one holding "[{" and "}]"
// on a line of its own), then the song array on one line inside a text area, then a second one.
struct Page {
  std::string utf8;
  std::string songs;  // the array's content without "[{" and "}]"
};

Page BuildPage(int songCount) {
  Page page;
  std::string& html = page.utf8;
  html = "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>歌单</title>\n";
  for (int i = 0; i < 4000; ++i) {
    html += "<script>window.cfg" + std::to_string(i) + " = [{\"k\":\"v\",\"n\":" + std::to_string(i) +
            "}]; /* 页面脚本 */</script>\n";
  }
  html += "</head><body><div id=\"song-list\"><textarea id=\"song-list-pre-data\" style=\"display:none;\">[{";
  std::string& songs = page.songs;
  for (int i = 0; i < songCount; ++i) {
    if (i > 0) songs += "},{";
    std::string n = std::to_string(i);
    songs += "\"name\":\"第" + n + "首歌 – 夜空中最亮的星 😀\",\"id\":" + std::to_string(1900000000 + i) +
             ",\"pst\":0,\"t\":0,\"alia\":[\"别名\"],\"pop\":100,\"st\":0,\"rt\":\"\",\"fee\":8,\"v\":42,"
             "\"artists\":[{\"name\":\"歌手" +
             n + "\",\"id\":" + n +
             ",\"tns\":[],\"alias\":[]},"
             "{\"name\":\"Second Artist\",\"id\":7,\"tns\":[],\"alias\":[]}],"
             "\"album\":{\"id\":" +
             n + ",\"name\":\"专辑 Album " + n +
             "\",\"picUrl\":\"http://p1.music.example/abcdefghijklmnopqrstuvwxyz0123456789/" + n +
             ".jpg\",\"tns\":[],\"pic\":109951163}," +
             "\"duration\":240000,\"copyright\":1,\"mark\":0,"
             "\"privilege\":{\"id\":" +
             n +
             ",\"fee\":8,\"payed\":0,\"st\":0,\"pl\":128000,\"dl\":0,\"sp\":7,"
             "\"cp\":1,\"subp\":1,\"cs\":false,\"maxbr\":999000,\"fl\":128000,\"toast\":false,\"flag\":4},"
             "\"lyrics\":\"" +
             std::string(620, 'x') + "\"";
  }
  html += songs + "}]</textarea></div>\n<textarea>[{\"name\":\"other\"}]</textarea>\n";
  for (int i = 0; i < 200; ++i) html += "<p>页脚 footer line " + std::to_string(i) + "</p>\n";
  html += "</body></html>\n";
  return page;
}

TEST(RegexLimits, ProgramPatternCutsTheSongArrayOutOfALargePage) {
  const Page page = BuildPage(10000);
  const Text subject = Gb(page.utf8);
  const Text songs = Gb(page.songs);
  ASSERT_GT(subject.size(), 12u * 1000 * 1000);

  RegexMatcher matcher;
  auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(matcher.Create(kProgramPattern, subject)) << static_cast<int>(matcher.Status());
  double createSeconds = SecondsSince(start);
  start = std::chrono::steady_clock::now();
  Text cut = matcher.GetSubMatch(1, 1);
  double readSeconds = SecondsSince(start);

  EXPECT_EQ(matcher.MatchCount(), 2);
  EXPECT_EQ(matcher.SubMatchCount(), 1);
  ASSERT_EQ(cut.size(), songs.size());
  EXPECT_TRUE(cut == songs);
  int position = -1;
  ASSERT_EQ(matcher.GetSubMatch(1, 1, &position).size(), songs.size());
  EXPECT_EQ(subject.compare(static_cast<std::size_t>(position), songs.size(), songs), 0);
  EXPECT_EQ(matcher.GetSubMatch(2, 1), "\"name\":\"other\"");
  std::cout << "page of " << subject.size() << " bytes, song array of " << songs.size() << " bytes: Create "
            << createSeconds * 1000 << " ms, GetSubMatch(1, 1) " << readSeconds * 1000 << " ms\n";
}

}  // namespace
}  // namespace velbrook
