#pragma once

#include <chrono>
#include <cstddef>

namespace velbrook {

// The one script engine that every JsonDocument of the process shares. It starts with the first
// document on the thread that creates it and shuts down at exit; documents are used on that thread only.

// How long one operation of a document may run script before the engine stops it; the operation then
// fails like any other. It guards against script text that never ends (a loop inside a key or a value).
inline constexpr std::chrono::milliseconds kDefaultScriptTimeLimit{10000};

// Sets the limit for every later operation. A limit of zero or less means the default.
void SetScriptTimeLimit(std::chrono::milliseconds limit);
std::chrono::milliseconds ScriptTimeLimit();

// Bytes the engine's garbage-collected heap holds right now (starting the engine when it has not
// started yet); 0 when the engine cannot run on this thread.
std::size_t ScriptHeapBytes();

}  // namespace velbrook
