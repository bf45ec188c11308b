#pragma once

#include <cstddef>
#include <string>

#include "base/text.h"

namespace velbrook::json_test {

// What the reads of one song should give.
struct ExpectedSong {
  Text artist;
  Text title;
  Text id;
};

ExpectedSong SongAt(std::size_t index);

// A song array shaped like the one a playlist page embeds: one line, one object of about 1 KB per
// song with nested artist and album objects, CJK names included, in GB18030.
Text SongArrayText(std::size_t songs);

}  // namespace velbrook::json_test
