#pragma once

#include <cstdint>
#include <optional>

#include "base/text.h"

namespace velbrook {

// The file operations around the temporary file that a song downloads into, beside those of base.

// The size of the regular file at `path`; nullopt when there is none (or it is something else).
std::optional<std::uint64_t> RegularFileSize(const Text& path);

// Removes the directory entry at `path` without following a symbolic link. True when it is gone,
// also when there was none.
bool RemoveEntry(const Text& path);

// Gives the file at `from` the name `to`, never replacing anything that exists at `to`. False when
// `to` exists or the move fails; `from` is then left as it was.
bool MoveWithoutReplacing(const Text& from, const Text& to);

}  // namespace velbrook
