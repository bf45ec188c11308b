#include "json/member_path.h"

namespace velbrook {
namespace {

// Nine digits always fit below 2^31.
constexpr std::size_t kMaxIndexDigits = 9;

bool IsIdentifierStart(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '$';
}

bool IsIdentifierPart(char c) { return IsIdentifierStart(c) || (c >= '0' && c <= '9'); }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads an identifier at `pos`; empty when there is none.
std::string_view ReadIdentifier(std::string_view code, std::size_t& pos) {
  std::size_t start = pos;
  if (pos >= code.size() || !IsIdentifierStart(code[pos])) return {};
  while (pos < code.size() && IsIdentifierPart(code[pos])) ++pos;
  return code.substr(start, pos - start);
}

// Reads the digits of an index up to (not including) the closing bracket.
std::optional<std::uint32_t> ReadIndex(std::string_view code, std::size_t& pos) {
  std::size_t start = pos;
  while (pos < code.size() && IsDigit(code[pos])) ++pos;
  std::size_t digits = pos - start;
  if (digits == 0 || digits > kMaxIndexDigits) return std::nullopt;
  if (digits > 1 && code[start] == '0') return std::nullopt;
  std::uint32_t index = 0;
  for (std::size_t i = start; i < pos; ++i) index = index * 10 + static_cast<std::uint32_t>(code[i] - '0');
  return index;
}

}  // namespace

std::optional<MemberPath> ParseMemberPath(std::string_view code) {
  std::size_t pos = 0;
  MemberPath path;
  path.root = std::string(ReadIdentifier(code, pos));
  if (path.root.empty()) return std::nullopt;
  while (pos < code.size()) {
    MemberStep step;
    if (code[pos] == '.') {
      ++pos;
      std::string_view name = ReadIdentifier(code, pos);
      if (name.empty()) return std::nullopt;
      step.name = std::string(name);
    } else if (code[pos] == '[') {
      ++pos;
      std::optional<std::uint32_t> index = ReadIndex(code, pos);
      if (!index || pos >= code.size() || code[pos] != ']') return std::nullopt;
      ++pos;
      step.isIndex = true;
      step.index = *index;
    } else {
      return std::nullopt;
    }
    path.steps.push_back(std::move(step));
  }
  return path;
}

}  // namespace velbrook
