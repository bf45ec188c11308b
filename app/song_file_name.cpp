#include "app/song_file_name.h"

#include <cstring>
#include <string>

#include "base/code_page.h"

namespace velbrook {
namespace {

constexpr char kReplacement = '_';
constexpr char kSeparator = '/';
constexpr unsigned char kLastControl = 0x1F;
constexpr unsigned char kDelete = 0x7F;
constexpr std::size_t kMaxStemBytes =
    kMaxFileNameBytes - (sizeof kSongExtension - 1) - (sizeof kPartialSuffix - 1);

bool CannotStandInName(unsigned char c) { return c == kSeparator || c <= kLastControl || c == kDelete; }

// Length of the GB18030 character that starts at `at`: four bytes when its second byte is a digit,
// two for any other lead byte, one for ASCII.
std::size_t CharacterLength(const Text& text, std::size_t at) {
  if (static_cast<unsigned char>(text[at]) < 0x80) return 1;
  if (at + 1 < text.size() && text[at + 1] >= '0' && text[at + 1] <= '9') return 4;
  return 2;
}

Text ReplaceForbidden(const Text& line) {
  Text stem = line;
  for (std::size_t at = 0; at < stem.size(); at += CharacterLength(stem, at)) {
    if (CannotStandInName(static_cast<unsigned char>(stem[at]))) stem[at] = kReplacement;
  }
  return stem;
}

bool IsUtf8Continuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

}  // namespace

Text SongFileStem(const Text& line) {
  Text stem = ReplaceForbidden(line);
  bool ok = false;
  std::string utf8 = TextToUtf8(stem, &ok);
  // A line that is not GB18030 cannot be named on disk at all; opening it fails later on.
  if (!ok || utf8.size() <= kMaxStemBytes) return stem;
  std::size_t cut = kMaxStemBytes;
  while (cut > 0 && IsUtf8Continuation(utf8[cut])) --cut;
  utf8.resize(cut);
  return Utf8ToText(utf8);
}

Text SongTargetPath(const Text& folder, const Text& line) {
  Text path = folder;
  while (!path.empty() && path.back() == kSeparator) path.pop_back();
  path += kSeparator;
  path += SongFileStem(line);
  path += kSongExtension;
  return path;
}

}  // namespace velbrook
