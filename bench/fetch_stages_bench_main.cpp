// velbrook_fetch_stages_bench --host HOST:PORT --id PLAYLIST --expect SONGS
// Walks the steps of the fetch command one by one with the same building blocks, and prints how
// long each step took: the request, the code-page conversion, the regex run, the parse, the reads
// and the filling of the real window's list, and how many fresh pages each step touched.
#include <QApplication>

#include <sys/resource.h>

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/code_page.h"
#include "base/text_routines.h"
#include "bench/bench_arguments.h"
#include "bench/offscreen_window.h"
#include "json/json_document.h"
#include "regex/regex_matcher.h"
#include "web/visit_web_page.h"

namespace {

constexpr char kMarkerPattern[] = R"(\[{(.*?)}\]</textarea>)";

struct Song {
  velbrook::Text line;
  std::int64_t value = 0;
};

long MinorFaults() {
  rusage usage{};
  return getrusage(RUSAGE_SELF, &usage) == 0 ? usage.ru_minflt : 0;
}

// Times one step in milliseconds and prints it as `name`_ms, with the pages it touched for the first
// time (minor faults) as `name`_faults: on some machines each of those costs more than copying it.
template <typename Step>
void Timed(const std::string& name, Step step) {
  const long faults = MinorFaults();
  const double start = velbrook::bench::MonotonicSeconds();
  step();
  velbrook::bench::PrintFigure((name + "_ms").c_str(),
                               (velbrook::bench::MonotonicSeconds() - start) * 1000.0);
  velbrook::bench::PrintFigure((name + "_faults").c_str(), static_cast<double>(MinorFaults() - faults));
}

std::vector<Song> ReadSongs(const velbrook::JsonDocument& document) {
  std::vector<Song> songs;
  const std::int32_t count = document.Count();
  for (std::int32_t i = 0; i < count; ++i) {
    velbrook::Text item = "[";
    item += std::to_string(i);
    item += "]";
    velbrook::Text line = document.GetText(item + ".artists[0].name");
    line += " - ";
    line += document.GetText(item + ".name");
    songs.push_back({std::move(line), velbrook::ReadInt64(document.GetText(item + ".id"))});
  }
  return songs;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace velbrook;
  const std::optional<std::string> host = bench::ArgumentAfter(argc, argv, "--host");
  const std::optional<std::string> id = bench::ArgumentAfter(argc, argv, "--id");
  const std::optional<long long> expected = bench::NumberAfter(argc, argv, "--expect");
  if (!host || !id || !expected) {
    std::fprintf(stderr,
                 "usage: velbrook_fetch_stages_bench --host HOST:PORT --id PLAYLIST --expect SONGS\n");
    return 2;
  }
  bench::UseOffscreenPlatformByDefault();
  QApplication application(argc, argv);
  bench::OffscreenWindow window(*host, *host);

  RegexMatcher matcher;
  JsonDocument document;
  Bytes body;
  Text page;
  Text array;
  bool parsed = false;
  std::vector<Song> songs;
  Timed("request", [&] { body = VisitWebPage("http://" + *host + "/playlist?id=" + *id); });
  Timed("convert", [&] {
    page = ConvertCodePage(std::string(body.begin(), body.end()), "UTF-8", kAnsiCodePage);
    Bytes().swap(body);
  });
  Timed("regex", [&] {
    (void)matcher.Create(kMarkerPattern, std::move(page));  // a failed run shows as a wrong count below
    array = "[{" + matcher.GetSubMatch(1, 1) + "}]";
  });
  Timed("parse", [&] { parsed = document.Parse(array); });
  Timed("reads", [&] { songs = ReadSongs(document); });
  Timed("list", [&] {
    window.Window().ClearList();
    for (const Song& song : songs) window.Window().AddListItem(song.line, song.value);
  });
  if (!parsed || window.Window().ListCount() != *expected) {
    std::fprintf(stderr, "velbrook_fetch_stages_bench: %d songs listed, %lld expected\n",
                 window.Window().ListCount(), *expected);
    return 1;
  }
  return 0;
}
