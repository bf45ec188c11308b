#include "base/text.h"

#include <algorithm>

namespace velbrook {

Text TextUpToZero(const Bytes& bytes) {
  auto end = std::find(bytes.begin(), bytes.end(), std::uint8_t{0});
  return Text(bytes.begin(), end);
}

Text TextUpToZero(const Text& text) { return text.substr(0, text.find('\0')); }

}  // namespace velbrook
