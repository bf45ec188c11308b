#include "app/fetch_song_list.h"

#include <cstdint>
#include <string>
#include <utility>

#include "app/command_texts.h"
#include "app/window_operations.h"
#include "base/code_page.h"
#include "base/text_routines.h"
#include "json/json_document.h"
#include "regex/regex_matcher.h"
#include "web/visit_web_page.h"

namespace velbrook {
namespace {

// The song array that the page embeds right before the closing tag of a textarea, without its
// outer "[{" and "}]".
constexpr char kMarkerPattern[] = R"(\[{(.*?)}\]</textarea>)";
constexpr char kPlaylistPath[] = "/playlist?id=";
constexpr char kArrayOpening[] = "[{";
constexpr char kArrayClosing[] = "}]";
constexpr std::size_t kClosingTagBytes = sizeof "</textarea>" - 1;
constexpr std::size_t kArrayBracketBytes = sizeof kArrayOpening - 1 + sizeof kArrayClosing - 1;

// The page body in GB18030 up to its first zero byte; empty when the body is not UTF-8. The body is
// consumed, so a large page is held at most twice at once.
Text PageText(Bytes body) {
  std::string utf8(body.begin(), body.end());
  Bytes().swap(body);
  Text page = ConvertCodePage(utf8, "UTF-8", kAnsiCodePage);
  std::string().swap(utf8);
  const std::size_t zero = page.find('\0');
  if (zero != Text::npos) page.resize(zero);
  return page;
}

// The array text "[{" + the first group + "}]" of the first match. The match is exactly that text
// followed by the closing tag, so the array is cut from the match's own copy of a large page rather
// than built anew.
Text ArrayText(const RegexMatcher& matcher) {
  Text array = matcher.GetMatch(1);
  if (array.size() >= kClosingTagBytes) array.resize(array.size() - kClosingTagBytes);
  if (array.size() >= kArrayBracketBytes && array.ends_with(kArrayClosing)) return array;
  return kArrayOpening + matcher.GetSubMatch(1, 1) + kArrayClosing;
}

void AddSongs(WindowOperations& window, const JsonDocument& document) {
  const std::int32_t count = document.Count();
  const Text separator = " - ";
  for (std::int32_t i = 0; i < count; ++i) {
    Text item = "[";
    item += std::to_string(i);
    item += ']';
    Text line = document.GetText(item + ".artists[0].name");
    line += separator;
    line += document.GetText(item + ".name");
    window.AddListItem(line, ReadInt64(document.GetText(item + ".id")));
  }
}

}  // namespace

int FetchSongList(WindowOperations& window, const Text& playlistHost) {
  RegexMatcher matcher;
  JsonDocument document;
  window.ClearList();
  window.SetCaption(Control::按钮2, AnsiText(kReadyCaption));

  const Text url = "http://" + playlistHost + kPlaylistPath + window.EditText();
  // A run stopped at a limit leaves no match, just like a page without the array.
  (void)matcher.Create(kMarkerPattern, PageText(VisitWebPage(url)));
  // Without a match there is no song array at all: the list stays empty rather than showing one
  // song made of nothing.
  if (matcher.MatchCount() > 0 && document.Parse(ArrayText(matcher))) {
    AddSongs(window, document);
  }

  const int listed = window.ListCount();
  window.SetCaption(Control::标签2,
                    AnsiText(kSongCountPrefix) + std::to_string(listed) + AnsiText(kSongCountSuffix));
  return listed;
}

}  // namespace velbrook
