#pragma once

#include <cstddef>

#include "base/text.h"

namespace velbrook {

inline constexpr char kSongExtension[] = ".mp3";
// A song downloads into its target's name with this suffix and takes the target's name only once
// it is complete.
inline constexpr char kPartialSuffix[] = ".part";
// The longest file name, in bytes of its UTF-8 form, that the file systems here take.
inline constexpr std::size_t kMaxFileNameBytes = 255;

// The list line as a file name without its extension: every character that cannot stand in a file
// name ("/" and the control characters 0x00 to 0x1F and 0x7F) becomes "_", and the end is cut at a
// character boundary so that the name with ".mp3" and ".part" stays within kMaxFileNameBytes.
Text SongFileStem(const Text& line);

// Where a song of the list is saved: the folder, exactly one "/", the file stem of the line, ".mp3".
// The file lies directly inside the folder whatever the line holds.
Text SongTargetPath(const Text& folder, const Text& line);

}  // namespace velbrook
