#include "base/code_page.h"

#include <iconv.h>

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
  thread_local std::map<std::pair<std::string, std::string>, IconvPtr> cache;
  auto key = std::make_pair(std::string(from), std::string(to));
  auto found = cache.find(key);
  if (found != cache.end()) return found->second.get();
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return cd;
  return cache.emplace(key, IconvPtr(cd)).first->second.get();
}

bool Convert(const char* data, std::size_t size, const char* from, const char* to, std::string& out) {
  out.clear();
  if (size == 0) return true;
  iconv_t cd = DescriptorFor(from, to);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  (void)iconv(cd, nullptr, nullptr, nullptr, nullptr);  // back to the initial shift state
  out.resize(size * 2 + 16);
  char* in = const_cast<char*>(data);
  std::size_t inLeft = size;
  std::size_t produced = 0;
  while (true) {
    char* dst = out.data() + produced;
    std::size_t outLeft = out.size() - produced;
    std::size_t rc = iconv(cd, &in, &inLeft, &dst, &outLeft);
    produced = out.size() - outLeft;
    if (rc != static_cast<std::size_t>(-1)) break;
    if (errno == E2BIG) {
      out.resize(out.size() * 2);
      continue;
    }
    out.clear();  // EILSEQ or EINVAL: invalid or truncated input
    return false;
  }
  // Flush any final shift sequence.
  while (true) {
    char* dst = out.data() + produced;
    std::size_t outLeft = out.size() - produced;
    std::size_t rc = iconv(cd, nullptr, nullptr, &dst, &outLeft);
    produced = out.size() - outLeft;
    if (rc != static_cast<std::size_t>(-1)) break;
    if (errno != E2BIG) {
      out.clear();
      return false;
    }
    out.resize(out.size() * 2);
  }
  out.resize(produced);
  return true;
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
