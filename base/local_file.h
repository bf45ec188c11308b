#pragma once

#include <cstddef>
#include <cstdint>

#include "base/text.h"

namespace velbrook {

// A handle to a local file opened for writing. 0 means none. Handles are never reused within a
// process, so an operation on a handle that was closed earlier can never reach a file opened later.
using FileHandle = std::int32_t;

// Creates the file when it is missing, otherwise empties it. Write access, bytes written unchanged.
// An empty path or a failure gives 0.
FileHandle CreateOrTruncateFile(const Text& path);

// Opens an existing file keeping its contents, with the write position at its start, or creates it.
FileHandle OpenOrCreateFile(const Text& path);

// Moves the write position to the end of the file. Does nothing on 0 or a closed handle.
void SeekFileToEnd(FileHandle file);

// Writes `size` bytes at the write position. False on 0, on a closed handle, and on a failed write.
bool WriteFile(FileHandle file, const void* data, std::size_t size);

// Closes the file. Does nothing on 0 or a closed handle.
void CloseFile(FileHandle file);

// Whether a file or a directory of exactly this path exists. No wildcards.
bool PathExists(const Text& path);

// How many handles are open right now (for leak checks).
std::size_t OpenFileCount();

}  // namespace velbrook
