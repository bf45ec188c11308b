#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velbrook {

// One step of a member chain: a property name after a dot, or an array index in brackets.
struct MemberStep {
  bool isIndex = false;
  std::string name;
  std::uint32_t index = 0;

  bool operator==(const MemberStep&) const = default;
};

// A script text that only reads a member chain such as `da[12].artists[0].name`.
struct MemberPath {
  std::string root;
  std::vector<MemberStep> steps;
};

// Recognises the texts that a direct walk of the engine's objects reads exactly as the script would:
// an ASCII identifier, then any number of `.identifier` and `[index]` steps, with no spaces. Indexes
// are decimal without leading zeros (a leading zero makes a different number in script) and stay
// below 2^31. Every other text gives nothing and is left to the script engine.
std::optional<MemberPath> ParseMemberPath(std::string_view code);

}  // namespace velbrook
