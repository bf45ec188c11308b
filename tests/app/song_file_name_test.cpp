#include <string>

#include <gtest/gtest.h>

#include "app/song_file_name.h"
#include "base/code_page.h"

namespace velbrook {
namespace {

std::string Repeat(const std::string& piece, int times) {
  std::string text;
  for (int i = 0; i < times; ++i) text += piece;
  return text;
}

// Folder and line in UTF-8, and the path expected. A stem holds at most 255 - 4 - 5 = 246 bytes.
TEST(SongFileNameTest, TargetPathsStayInTheFolderAndFitTheNameLimit) {
  struct Case {
    const char* what;
    std::string folder;
    std::string line;
    std::string path;
  };
  const Case cases[] = {
      {"plain", "/music", "周杰伦 - 晴天", "/music/周杰伦 - 晴天.mp3"},
      {"folder with separators at its end", "/music//", "A - B", "/music/A - B.mp3"},
      {"the root folder", "/", "A - B", "/A - B.mp3"},
      {"separators and dots", "/m", "../.. - a/b", "/m/.._.. - a_b.mp3"},
      {"control characters", "/m", std::string("a\x01\x1f\x7f") + "b\t - \n", "/m/a___b_ - _.mp3"},
      {"a zero byte", "/m", std::string("a\0b - c", 7), "/m/a_b - c.mp3"},
      {"characters that Linux takes", "/m", "a:b*c?\"<>|\\ - .", "/m/a:b*c?\"<>|\\ - ..mp3"},
      {"246 ASCII bytes fit", "/m", std::string(246, 'x'), "/m/" + std::string(246, 'x') + ".mp3"},
      {"247 ASCII bytes do not", "/m", std::string(247, 'x'), "/m/" + std::string(246, 'x') + ".mp3"},
      {"three-byte characters cut whole", "/m", Repeat("歌", 100), "/m/" + Repeat("歌", 82) + ".mp3"},
      {"four-byte characters cut whole", "/m", "a" + Repeat("🎸", 70), "/m/a" + Repeat("🎸", 61) + ".mp3"},
      {"two-byte characters cut whole", "/m", Repeat("é", 130), "/m/" + Repeat("é", 123) + ".mp3"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Text path = SongTargetPath(Utf8ToText(c.folder), Utf8ToText(c.line));
    EXPECT_EQ(TextToUtf8(path), c.path);
    const std::string name = c.path.substr(c.path.rfind('/') + 1);
    EXPECT_LE(name.size() + 5, kMaxFileNameBytes);
  }
}

}  // namespace
}  // namespace velbrook
