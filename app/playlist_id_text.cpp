#include "app/playlist_id_text.h"

#include <cstdint>
#include <string>

#include "base/text_routines.h"

namespace velbrook {

Text NormalisedPlaylistId(const Text& text) {
  const std::int64_t value = ReadInt64(text);
  if (value == 0) return {};
  return std::to_string(value);
}

}  // namespace velbrook
