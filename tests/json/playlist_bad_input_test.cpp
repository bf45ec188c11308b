// Bad playlist pages through the same library calls that the fetch command makes: the page from UTF-8
// to GB18030 up to its first zero byte, the marker pattern, "[{" + its first group + "}]" parsed as a
// JSON document, and the three reads per song. Each page gives the list the rules say, in bounded time.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <iostream>
#include <string>
#include <vector>

#include "base/code_page.h"
#include "base/text_routines.h"
#include "json/json_document.h"
#include "regex/regex_matcher.h"
#include "tests/json/gb.h"

namespace velbrook {
namespace {

using json_test::Gb;

constexpr char kMarkerPattern[] = R"(\[{(.*?)}\]</textarea>)";
constexpr char kPageHead[] = "<html><body><div id=\"song-list-pre-cache\"><textarea style=\"display:none;\">";
constexpr char kPageTail[] = "</textarea></div></body></html>\n";
// Far above what each page takes, far below the limits of the regex run and the script engine (ten
// seconds each): a page that reached either limit would fail here.
constexpr auto kPageTimeBound = std::chrono::seconds(8);
constexpr auto kLargePageTimeBound = std::chrono::seconds(30);

struct SongLine {
  Text line;
  std::int64_t value = 0;
  bool operator==(const SongLine&) const = default;
};

std::ostream& operator<<(std::ostream& out, const SongLine& song) {
  return out << "{" << song.line.substr(0, 80) << (song.line.size() > 80 ? "..." : "") << ", " << song.value
             << "}";
}

// The list that a page gives. A page without the array gives no list at all.
std::vector<SongLine> ListFromPage(const std::string& utf8Page) {
  Text page = ConvertCodePage(utf8Page, "UTF-8", kAnsiCodePage);
  page = TextUpToZero(page);
  RegexMatcher matcher;
  (void)matcher.Create(kMarkerPattern, std::move(page));  // a failed run leaves no match
  std::vector<SongLine> list;
  if (matcher.MatchCount() == 0) return list;
  JsonDocument document;
  if (!document.Parse("[{" + matcher.GetSubMatch(1, 1) + "}]")) return list;
  const std::int32_t count = document.Count();
  for (std::int32_t i = 0; i < count; ++i) {
    const Text item = "[" + std::to_string(i) + "]";
    list.push_back({document.GetText(item + ".artists[0].name") + " - " + document.GetText(item + ".name"),
                    ReadInt64(document.GetText(item + ".id"))});
  }
  return list;
}

std::string Song(const std::string& artistJson, const std::string& titleJson, const std::string& id) {
  return "{\"name\":" + titleJson + ",\"id\":" + id + ",\"artists\":[{\"name\":" + artistJson +
         ",\"id\":7}],\"album\":{\"name\":\"专辑\"}}";
}

std::string Page(const std::string& arrayText) { return kPageHead + arrayText + kPageTail; }

// Every ASCII control character, escaped as JSON writes it, then "/", "\" and "..".
std::string ControlsJson() {
  std::string json = "\"";
  for (int c = 0; c < 0x20; ++c) {
    char escape[8];
    std::snprintf(escape, sizeof escape, "\\u%04x", c);
    json += escape;
  }
  return json + "\\u007f/\\/\\\\..\\\\..\"";
}

Text ControlsText() {
  Text text;
  for (int c = 0; c < 0x20; ++c) text += static_cast<char>(c);
  return text + "\x7f//\\..\\..";
}

struct PageCase {
  const char* what;
  std::string page;
  std::vector<SongLine> list;
};

std::vector<PageCase> BadPages() {
  const std::string two = Song("\"甲\"", "\"一\"", "1") + "," + Song("\"乙\"", "\"二\"", "2");
  const std::vector<SongLine> twoLines = {{Gb("甲 - 一"), 1}, {Gb("乙 - 二"), 2}};
  const std::string whole = Page("[" + two + "]");
  const std::string longTitle(1000, 'T');
  const std::string cjkTitle = [] {
    std::string title;
    for (int i = 0; i < 500; ++i) title += "歌";  // 1,000 bytes in GB18030
    return title;
  }();
  std::string repeated;
  std::vector<SongLine> repeatedLines;
  for (int i = 0; i < 1000; ++i) {
    repeated += (i ? "," : "") + Song("\"A\"", "\"Same\"", "5");
    repeatedLines.push_back({"A - Same", 5});
  }
  return {
      {"the control case", whole, twoLines},
      {"cut inside the array", whole.substr(0, whole.size() / 2), {}},
      {"cut right before the closing tag", whole.substr(0, whole.find("</textarea>")), {}},
      {"cut inside the closing tag", whole.substr(0, whole.find("</textarea>") + 5), {}},
      {"a trailing comma", Page("[" + two + ",]"), {}},
      {"a missing quote", Page("[{\"name\":\"a,\"id\":1}]"), {}},
      {"single quotes", Page("[{'name':'a','id':1}]"), {}},
      {"an unescaped line break in a title", Page("[" + Song("\"a\"", "\"x\ny\"", "1") + "]"), {}},
      {"an unescaped tab in a title", Page("[" + Song("\"a\"", "\"x\ty\"", "1") + "]"), {}},
      {"a title holding the closing tag",
       Page("[" + Song("\"a\"", "\"x</textarea>y\"", "1") + "]"),
       {{"a - x</textarea>y", 1}}},
      {"a title holding the array's end and the tag",
       Page("[" + Song("\"a\"", "\"x}]</textarea>y\"", "1") + "]"),
       {}},
      {"the closing tag in capitals", kPageHead + ("[" + two + "]") + "</TEXTAREA></div>", twoLines},
      {"an array before a zero byte", Page("[" + two + "]") + std::string(1, '\0') + "tail", twoLines},
      {"a zero byte inside the array",
       Page("[" + Song("\"a\"", "\"x", "1") + std::string(1, '\0') + "\"]"),
       {}},
      {"not UTF-8", Page("[" + Song("\"a\"", "\"\xC3\x28\"", "1") + "]"), {}},
      {"a lone surrogate as UTF-8", Page("[" + Song("\"a\"", "\"\xED\xA0\x80\"", "1") + "]"), {}},
      {"Latin-1 bytes", Page("[" + Song("\"a\"", "\"caf\xE9\"", "1") + "]"), {}},
      {"controls, slashes and dots",
       Page("[" + Song(ControlsJson(), ControlsJson(), "3") + "]"),
       {{ControlsText() + " - " + ControlsText(), 3}}},
      {"a 1,000-byte title",
       Page("[" + Song("\"a\"", "\"" + longTitle + "\"", "4") + "]"),
       {{"a - " + longTitle, 4}}},
      {"a 1,000-byte CJK title",
       Page("[" + Song("\"a\"", "\"" + cjkTitle + "\"", "4") + "]"),
       {{Gb("a - " + cjkTitle), 4}}},
      {"the same song 1,000 times", Page("[" + repeated + "]"), repeatedLines},
      {"two arrays: the first counts", Page("[" + two + "]") + Page("[" + Song("\"c\"", "\"三\"", "3") + "]"),
       twoLines},
      {"script after the array", Page("[" + two + "];while(true){}//" + two + "]"), {}},
      {"script that would add a song",
       Page("[" + Song("\"a\"", "\"b\"", "1") + "].concat([" + Song("\"x\"", "\"injected\"", "9") + "])||[" +
            Song("\"y\"", "\"z\"", "0") + "]"),
       {}},
      {"a function call as a value", Page("[{\"name\":(function(){return 'x'})(),\"id\":1}]"), {}},
      {"a markup title",
       Page("[" + Song("\"a\"", "\"</script><script>alert(1)</script>\"", "1") + "]"),
       {{"a - </script><script>alert(1)</script>", 1}}},
      {"a prototype member",
       Page("[{\"__proto__\":{\"name\":\"polluted\",\"id\":66},\"id\":1}]"),
       {{" - ", 1}}},
      {"an id beyond 32 bits",
       Page("[" + Song("\"a\"", "\"b\"", "4294967297") + "]"),
       {{"a - b", 4294967297}}},
      {"an id as text", Page("[" + Song("\"a\"", "\"b\"", "\"12abc\"") + "]"), {{"a - b", 12}}},
      {"no artists", Page("[{\"name\":\"b\",\"id\":1,\"artists\":[]}]"), {{" - b", 1}}},
      // The engine's JSON parser takes any depth; the title is an array, which reads as no text.
      {"deep nesting",
       Page("[{\"name\":" + std::string(100000, '[') + std::string(100000, ']') + "}]"),
       {{" - ", 0}}},
  };
}

TEST(PlaylistBadInput, EachPageGivesTheListTheRulesSay) {
  for (const PageCase& c : BadPages()) {
    SCOPED_TRACE(c.what);
    const auto started = std::chrono::steady_clock::now();
    const std::vector<SongLine> list = ListFromPage(c.page);
    const auto took = std::chrono::steady_clock::now() - started;
    EXPECT_EQ(list, c.list);
    EXPECT_LT(took, kPageTimeBound);
  }
}

// 50 MB pages: the array at the end of a page of filler lines, and a single line full of openings that
// never close, which makes the lazy group try every one of them. They take seconds in a sanitizer
// build on a busy machine; the bound only tells an end from a hang.
TEST(PlaylistBadInput, FiftyMegabytePagesEndInBoundedTime) {
  constexpr std::size_t kPageBytes = 50 * 1000 * 1000;
  const std::string array = "[" + Song("\"甲\"", "\"一\"", "1") + "]";
  const std::string line = "<p>填充 filler text of a large page</p>";
  struct LargeCase {
    const char* what;
    std::string separator;
    std::string filler;
    std::string end;
    std::size_t songs;
  };
  const std::vector<LargeCase> cases = {
      {"filler lines, then the array", "\n", line, array + kPageTail, 1},
      {"one line of openings", "", "[{\"name\":\"x\",", kPageTail, 0},
  };
  for (const LargeCase& c : cases) {
    SCOPED_TRACE(c.what);
    std::string page = kPageHead;
    page.reserve(kPageBytes + c.end.size() + 64);
    while (page.size() < kPageBytes) page += c.filler + c.separator;
    page += c.end;
    const auto started = std::chrono::steady_clock::now();
    const std::vector<SongLine> list = ListFromPage(page);
    const auto took = std::chrono::steady_clock::now() - started;
    EXPECT_EQ(list.size(), c.songs);
    if (c.songs == 1 && !list.empty()) {
      EXPECT_EQ(list[0], (SongLine{Gb("甲 - 一"), 1}));
    }
    EXPECT_LT(took, kLargePageTimeBound);
    std::cout << c.what << ": " << page.size() << " bytes in "
              << std::chrono::duration_cast<std::chrono::milliseconds>(took).count() << " ms\n";
  }
}

}  // namespace
}  // namespace velbrook
