#pragma once

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

namespace velbrook::bench {

// The value that follows `name` on the command line, if any.
inline std::optional<std::string> ArgumentAfter(int argc, char** argv, const char* name) {
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], name) == 0) return std::string(argv[i + 1]);
  }
  return std::nullopt;
}

inline bool HasFlag(int argc, char** argv, const char* name) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], name) == 0) return true;
  }
  return false;
}

// A non-negative decimal argument; nullopt when it is missing or not a number.
inline std::optional<long long> NumberAfter(int argc, char** argv, const char* name) {
  const std::optional<std::string> text = ArgumentAfter(argc, argv, name);
  if (!text || text->empty()) return std::nullopt;
  char* end = nullptr;
  const long long value = std::strtoll(text->c_str(), &end, 10);
  if (*end != '\0' || value < 0) return std::nullopt;
  return value;
}

// One figure for the driver, as a "key value" line.
inline void PrintFigure(const char* key, double value) { std::printf("%s %.3f\n", key, value); }

}  // namespace velbrook::bench
