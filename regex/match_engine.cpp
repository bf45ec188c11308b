#include "regex/match_engine.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <memory>

namespace velbrook::regex_detail {
namespace {

struct CodeFree {
  void operator()(pcre2_code* code) const { pcre2_code_free(code); }
};
struct CompileContextFree {
  void operator()(pcre2_compile_context* context) const { pcre2_compile_context_free(context); }
};
struct MatchContextFree {
  void operator()(pcre2_match_context* context) const { pcre2_match_context_free(context); }
};
struct MatchDataFree {
  void operator()(pcre2_match_data* data) const { pcre2_match_data_free(data); }
};
struct JitStackFree {
  void operator()(pcre2_jit_stack* stack) const { pcre2_jit_stack_free(stack); }
};
using CodePtr = std::unique_ptr<pcre2_code, CodeFree>;
using CompileContextPtr = std::unique_ptr<pcre2_compile_context, CompileContextFree>;
using MatchContextPtr = std::unique_ptr<pcre2_match_context, MatchContextFree>;
using MatchDataPtr = std::unique_ptr<pcre2_match_data, MatchDataFree>;
using JitStackPtr = std::unique_ptr<pcre2_jit_stack, JitStackFree>;

// The JavaScript dialect in the engine's terms: \uhhhh and \xhh escapes, "[]" and "[^]" as in
// JavaScript, a back reference to an unset group matching the empty text, "$" at the very end only
// (unless multiline), unknown escapes as the literal character, and no \C, which could split a
// UTF-8 character and yield a match that is no text.
constexpr std::uint32_t kDialectOptions = PCRE2_UTF | PCRE2_ALT_BSUX | PCRE2_ALLOW_EMPTY_CLASS |
                                          PCRE2_MATCH_UNSET_BACKREF | PCRE2_DOLLAR_ENDONLY |
                                          PCRE2_NEVER_BACKSLASH_C;
constexpr std::uint32_t kDialectExtraOptions = PCRE2_EXTRA_BAD_ESCAPE_IS_LITERAL;
// CR, LF and CRLF end a line: "." matches neither CR nor LF, and in multiline mode "^" and "$" stand
// at both, as line terminators do in JavaScript.
constexpr std::uint32_t kNewline = PCRE2_NEWLINE_ANYCRLF;

// The engine's default step limit stops the program's own pattern over a 12 MB one-line song array,
// which takes about one step per byte. The limit therefore grows with the subject, leaving room for
// four steps a byte, while a pattern that backtracks without end still stops within a fraction of a
// second on such a page (about a second without the JIT).
constexpr std::uint32_t kMinMatchLimit = 10'000'000;
constexpr std::uint64_t kMatchStepsPerSubjectByte = 4;
// Backtracking memory: the interpreter's heap (the engine's own default is 20 GB) and the JIT code's
// stack.
constexpr std::uint32_t kMatchHeapLimitKiB = 256 * 1024;
constexpr std::size_t kJitStackStartBytes = 32 * 1024;
constexpr std::size_t kJitStackMaxBytes = 8 * 1024 * 1024;
// Each search is bounded by the limits above, but a pattern can succeed many times, each time after
// a long scan; this bounds the whole run.
constexpr std::uint32_t kRunBudgetMs = 10'000;

std::uint32_t MatchLimitFor(std::size_t subjectBytes) {
  std::uint64_t scaled = kMatchStepsPerSubjectByte * subjectBytes;
  return static_cast<std::uint32_t>(
      std::clamp<std::uint64_t>(scaled, kMinMatchLimit, std::numeric_limits<std::uint32_t>::max()));
}

// Gives the compiled pattern, or null with `status` telling why.
CodePtr Compile(const std::string& pattern, const MatchOptions& options, RegexStatus& status) {
  status = RegexStatus::kEngineError;
  CompileContextPtr context(pcre2_compile_context_create(nullptr));
  if (!context) return nullptr;
  if (pcre2_set_newline(context.get(), kNewline) != 0) return nullptr;
  if (pcre2_set_compile_extra_options(context.get(), kDialectExtraOptions) != 0) return nullptr;
  status = RegexStatus::kBadPattern;
  std::uint32_t flags = kDialectOptions;
  if (options.ignoreCase) flags |= PCRE2_CASELESS;
  if (options.multiline) flags |= PCRE2_MULTILINE;
  int error = 0;
  PCRE2_SIZE errorOffset = 0;
  CodePtr code(pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(), flags, &error,
                             &errorOffset, context.get()));
  // Without JIT support (or when it fails) the interpreter runs the same pattern, only slower.
  if (!code) return nullptr;
  if (options.useJit) (void)pcre2_jit_compile(code.get(), PCRE2_JIT_COMPLETE);
  status = RegexStatus::kOk;
  return code;
}

RegexStatus StatusOfFailedSearch(int rc) {
  switch (rc) {
    case PCRE2_ERROR_MATCHLIMIT:
    case PCRE2_ERROR_DEPTHLIMIT:
    case PCRE2_ERROR_HEAPLIMIT:
    case PCRE2_ERROR_JIT_STACKLIMIT:
    case PCRE2_ERROR_NOMEMORY:
      return RegexStatus::kMatchLimit;
    default:
      return RegexStatus::kEngineError;
  }
}

// The search position after a match: its end, or one character on after an empty match, so that the
// run always moves forward.
std::size_t NextStart(const std::string& subject, std::size_t matchStart, std::size_t end) {
  if (end > matchStart) return end;
  if (end >= subject.size()) return subject.size() + 1;
  unsigned char lead = static_cast<unsigned char>(subject[end]);
  std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
  return end + length;
}

}  // namespace

RegexStatus FindMatches(const std::string& pattern, const std::string& subject, const MatchOptions& options,
                        const TickSource& clock, MatchList& out) {
  out = MatchList{};
  if (subject.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
    return RegexStatus::kBadText;
  }
  RegexStatus compiled = RegexStatus::kOk;
  CodePtr code = Compile(pattern, options, compiled);
  if (!code) return compiled;
  std::uint32_t captureCount = 0;
  if (pcre2_pattern_info(code.get(), PCRE2_INFO_CAPTURECOUNT, &captureCount) != 0) {
    return RegexStatus::kEngineError;
  }
  MatchDataPtr data(pcre2_match_data_create_from_pattern(code.get(), nullptr));
  MatchContextPtr context(pcre2_match_context_create(nullptr));
  JitStackPtr stack(pcre2_jit_stack_create(kJitStackStartBytes, kJitStackMaxBytes, nullptr));
  if (!data || !context || !stack) return RegexStatus::kEngineError;
  if (pcre2_set_match_limit(context.get(), MatchLimitFor(subject.size())) != 0 ||
      pcre2_set_heap_limit(context.get(), kMatchHeapLimitKiB) != 0) {
    return RegexStatus::kEngineError;
  }
  pcre2_jit_stack_assign(context.get(), nullptr, stack.get());

  MatchList found;
  found.groupCount = captureCount;
  const std::size_t pairs = captureCount + 1;
  const auto* text = reinterpret_cast<PCRE2_SPTR>(subject.data());
  const std::uint32_t began = clock();
  std::size_t start = 0;
  while (start <= subject.size()) {
    if (clock() - began > kRunBudgetMs) return RegexStatus::kTimeLimit;
    // The subject is valid UTF-8 from iconv; checking it again would cost a pass per search.
    int rc =
        pcre2_match(code.get(), text, subject.size(), start, PCRE2_NO_UTF_CHECK, data.get(), context.get());
    if (rc == PCRE2_ERROR_NOMATCH) break;
    if (rc < 0) return StatusOfFailedSearch(rc);
    if (rc == 0) return RegexStatus::kEngineError;  // the match data is sized for every group
    const PCRE2_SIZE* vector = pcre2_get_ovector_pointer(data.get());
    for (std::size_t i = 0; i < pairs * 2; ++i) {
      bool set = i / 2 < static_cast<std::size_t>(rc) && vector[i] != PCRE2_UNSET;
      found.offsets.push_back(set ? static_cast<std::uint32_t>(vector[i]) : kUnsetOffset);
    }
    if (!options.global) break;
    start = NextStart(subject, vector[0], vector[1]);
  }
  out = std::move(found);
  return RegexStatus::kOk;
}

}  // namespace velbrook::regex_detail
