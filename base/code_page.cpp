#include "base/code_page.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <memory>
#include <utility>

namespace velbrook {
namespace {

struct IconvCloser {
  void operator()(iconv_t cd) const { (void)iconv_close(cd); }
};
using IconvPtr = std::unique_ptr<std::remove_pointer_t<iconv_t>, IconvCloser>;

// One descriptor per encoding pair and thread, opened on first use: opening is far dearer than
// converting a short text, and the boundaries convert many short texts.
iconv_t DescriptorFor(const char* from, const char* to) {
  // The boundaries ask for the same pair many times in a row: the last one is kept apart, compared by
  // its names' addresses first, and the map is searched only when the pair changes.
  thread_local const char* lastFrom = nullptr;
  thread_local const char* lastTo = nullptr;
  thread_local iconv_t last = reinterpret_cast<iconv_t>(-1);
  if (last != reinterpret_cast<iconv_t>(-1) && (from == lastFrom || std::strcmp(from, lastFrom) == 0) &&
      (to == lastTo || std::strcmp(to, lastTo) == 0)) {
    return last;
  }
  thread_local std::map<std::pair<std::string, std::string>, IconvPtr> cache;
  auto key = std::make_pair(std::string(from), std::string(to));
  auto found = cache.find(key);
  iconv_t cd = reinterpret_cast<iconv_t>(-1);
  if (found != cache.end()) {
    cd = found->second.get();
  } else {
    cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return cd;
    found = cache.emplace(key, IconvPtr(cd)).first;
  }
  // The names are kept from the map's key, which lives as long as the thread.
  lastFrom = found->first.first.c_str();
  lastTo = found->first.second.c_str();
  last = cd;
  return cd;
}

constexpr std::size_t kMinOutputBytes = 16;

// Converts one piece through `cd`, appending to `out`. False on invalid or truncated input. An
// encoding pair without shift states needs neither the reset before nor the flush after.
bool AppendConverted(iconv_t cd, const char* data, std::size_t size, std::string& out, bool stateless = false) {
  if (!stateless) (void)iconv(cd, nullptr, nullptr, nullptr, nullptr);  // back to the initial shift state
  std::size_t produced = out.size();
  out.resize(produced + size * 2 + kMinOutputBytes);
  char* in = const_cast<char*>(data);
  std::size_t inLeft = size;
  bool flushing = false;
  while (true) {
    char* dst = out.data() + produced;
    std::size_t outLeft = out.size() - produced;
    // A final call without input flushes any shift sequence.
    std::size_t rc =
        flushing ? iconv(cd, nullptr, nullptr, &dst, &outLeft) : iconv(cd, &in, &inLeft, &dst, &outLeft);
    produced = out.size() - outLeft;
    if (rc != static_cast<std::size_t>(-1)) {
      if (flushing || stateless) break;
      flushing = true;
      continue;
    }
    if (errno != E2BIG) return false;  // EILSEQ or EINVAL
    out.resize(out.size() * 2);
  }
  out.resize(produced);
  return true;
}

bool IsUtf8OrAnsi(const char* encoding) {
  return std::strcmp(encoding, "UTF-8") == 0 || std::strcmp(encoding, kAnsiCodePage) == 0;
}

// Length of the GB18030 character that starts with the lead byte at `at`: four bytes when the second
// byte is a digit, two otherwise.
std::size_t AnsiCharLength(const char* data, std::size_t size, std::size_t at) {
  if (at + 1 < size && data[at + 1] >= '0' && data[at + 1] <= '9') return 4;
  return 2;
}

// UTF-8 and GB18030 both write ASCII as itself, and neither uses an ASCII byte inside a multi-byte
// UTF-8 character, so runs of ASCII are copied and only the other runs go through iconv. Most of a
// playlist page is ASCII, which makes this several times faster than converting everything. Neither
// encoding has shift states.
bool ConvertByRuns(iconv_t cd, const char* data, std::size_t size, bool fromAnsi, std::string& out) {
  out.reserve(size + size / 2 + kMinOutputBytes);
  std::size_t at = 0;
  while (at < size) {
    std::size_t runEnd = at;
    while (runEnd < size && static_cast<unsigned char>(data[runEnd]) < 0x80) ++runEnd;
    out.append(data + at, runEnd - at);
    at = runEnd;
    if (at == size) break;
    // A non-ASCII run: whole characters, so that an ASCII trail byte of GB18030 stays inside it.
    while (runEnd < size && static_cast<unsigned char>(data[runEnd]) >= 0x80) {
      runEnd += fromAnsi ? AnsiCharLength(data, size, runEnd) : 1;
    }
    runEnd = std::min(runEnd, size);
    if (!AppendConverted(cd, data + at, runEnd - at, out, true)) return false;
    at = runEnd;
  }
  return true;
}

bool Convert(const char* data, std::size_t size, const char* from, const char* to, std::string& out) {
  out.clear();
  if (size == 0) return true;
  iconv_t cd = DescriptorFor(from, to);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  bool ok = IsUtf8OrAnsi(from) && IsUtf8OrAnsi(to)
                ? ConvertByRuns(cd, data, size, std::strcmp(from, kAnsiCodePage) == 0, out)
                : AppendConverted(cd, data, size, out);
  if (!ok) out.clear();
  return ok;
}

}  // namespace

std::string ConvertCodePage(const std::string& input, const char* fromEncoding, const char* toEncoding,
                            bool* ok) {
  std::string out;
  bool converted = Convert(input.data(), input.size(), fromEncoding, toEncoding, out);
  if (ok) *ok = converted;
  return out;
}

Bytes ConvertCodePage(const Bytes& input, const char* fromEncoding, const char* toEncoding) {
  std::string out;
  if (!Convert(reinterpret_cast<const char*>(input.data()), input.size(), fromEncoding, toEncoding, out)) {
    return Bytes();
  }
  return Bytes(out.begin(), out.end());
}

std::string TextToUtf8(const Text& text, bool* ok) {
  return ConvertCodePage(text, kAnsiCodePage, "UTF-8", ok);
}

Text Utf8ToText(const std::string& utf8, bool* ok) {
  return ConvertCodePage(utf8, "UTF-8", kAnsiCodePage, ok);
}

}  // namespace velbrook
