#include <gtest/gtest.h>

#include <string>

#include "json/json_document.h"
#include "json/script_engine.h"
#include "tests/json/song_array.h"

namespace velbrook {
namespace {

// A playlist of this size gives a song array of about 12 MB.
constexpr std::size_t kSongs = 10000;
constexpr std::size_t kMinArrayBytes = 12 * 1000 * 1000;
// Far less than what the large document takes, more than an idle engine holds.
constexpr std::size_t kLoadedHeapBytes = 10 * 1024 * 1024;
constexpr std::size_t kIdleHeapBytes = 4 * 1024 * 1024;

TEST(JsonLarge, ASongArrayOfTenThousandSongsIsReadWhole) {
  Text array = json_test::SongArrayText(kSongs);
  ASSERT_GT(array.size(), kMinArrayBytes);
  std::size_t heapWhileHeld = 0;
  {
    JsonDocument document;
    ASSERT_TRUE(document.Parse(array));
    ASSERT_EQ(document.Count(), static_cast<int>(kSongs));
    for (std::size_t i = 0; i < kSongs; ++i) {
      json_test::ExpectedSong expected = json_test::SongAt(i);
      std::string index = "[" + std::to_string(i) + "]";
      ASSERT_EQ(document.GetText(index + ".artists[0].name"), expected.artist) << i;
      ASSERT_EQ(document.GetText(index + ".name"), expected.title) << i;
      ASSERT_EQ(document.GetText(index + ".id"), expected.id) << i;
    }
    EXPECT_EQ(document.GetText("[10000].name"), "");
    heapWhileHeld = ScriptHeapBytes();
  }
  // The last holder of the session is gone: its memory goes back.
  EXPECT_GT(heapWhileHeld, kLoadedHeapBytes);
  EXPECT_LT(ScriptHeapBytes(), kIdleHeapBytes);
}

}  // namespace
}  // namespace velbrook
