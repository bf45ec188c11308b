// JsonDocument's Parse over arbitrary text, followed by the reads the program makes of a song array
// and of a resolver answer, and the reads of every member the document turns out to have.
// Input: the whole JSON text. Paths are built from names and indexes only: a path is script source by
// design, so arbitrary paths would fuzz the script engine instead of the document.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "json/json_document.h"

namespace velbrook::fuzz {
namespace {

constexpr int kItemsRead = 4;
constexpr std::size_t kKeysRead = 8;

bool IsIdentifier(const Text& key) {
  if (key.empty()) return false;
  for (std::size_t i = 0; i < key.size(); ++i) {
    const char c = key[i];
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '$';
    if (!letter && !(i > 0 && c >= '0' && c <= '9')) return false;
  }
  return true;
}

// The same path with a blank after the document's name and before each dot: the engine evaluates it
// as script instead of walking the objects directly, and both ways must read the same value.
Text Spaced(const Text& path) {
  Text spaced = path.empty() || path[0] == '[' ? "" : " ";
  for (char c : path) {
    if (c == '.') spaced += ' ';
    spaced += c;
  }
  return spaced;
}

void ReadBothWays(const JsonDocument& document, const Text& path) {
  Check(document.GetText(path) == document.GetText(Spaced(path)), "walked and evaluated reads agree");
  (void)document.GetText(path, true);
}

void ReadSongs(const JsonDocument& document) {
  const int count = document.Count();
  for (int i = 0; i < count && i < kItemsRead; ++i) {
    const Text item = "[" + std::to_string(i) + "]";
    ReadBothWays(document, item + ".name");
    ReadBothWays(document, item + ".artists[0].name");
    ReadBothWays(document, item + ".id");
  }
}

void ReadMembers(const JsonDocument& document) {
  std::vector<Text> keys{"stale"};
  document.GetKeys(keys);
  std::size_t read = 0;
  for (const Text& key : keys) {
    if (!IsIdentifier(key) || ++read > kKeysRead) continue;
    ReadBothWays(document, key);
    (void)document.Count(key);
    (void)document.GetType(key);
    (void)document.Exists(key);
    (void)document.GetNumber(key);
    (void)document.GetMemberJson(key);
    (void)document.GetDocument(key).GetJson();
  }
}

}  // namespace
}  // namespace velbrook::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace velbrook;
  using namespace velbrook::fuzz;
  const Text text(reinterpret_cast<const char*>(data), size);
  JsonDocument document;
  if (!document.Parse(text)) {
    Check(document.GetJson() == "null", "a failed parse leaves null");
    return 0;
  }
  (void)document.GetType();
  ReadSongs(document);
  ReadMembers(document);
  (void)document.GetText("url");

  // What GetJson writes reads back to the same JSON: the document holds nothing JSON cannot carry.
  const Text json = document.GetJson();
  JsonDocument again;
  Check(again.Parse(json) == (json != "null"), "GetJson's text parses again");
  if (json != "null") Check(again.GetJson() == json, "and gives the same JSON");
  return 0;
}

// The engine keeps its objects in chunks that it maps itself, which LeakSanitizer does not scan, so
// every buffer that only those objects point to looks lost. Memory growth still shows in libFuzzer's
// rss figure and its -rss_limit_mb.
extern "C" const char* __asan_default_options() { return "detect_leaks=0"; }
