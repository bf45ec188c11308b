// SplitFtpUrl and UrlFileName over arbitrary bytes: the parts always put the URL back together.
#include <cstddef>
#include <cstdint>

#include "download/ftp_location.h"
#include "fuzz/fuzz_input.h"

namespace velbrook::fuzz {
namespace {

constexpr std::int32_t kDefaultFtpPort = 21;

bool EndsWith(const Text& text, const Text& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

}  // namespace
}  // namespace velbrook::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace velbrook;
  using namespace velbrook::fuzz;
  const Text url(reinterpret_cast<const char*>(data), size);
  const Text fileName = UrlFileName(url);
  Check(fileName.find('/') == Text::npos, "the file name holds no slash");
  Check(EndsWith(url, fileName), "the file name ends the URL");

  const FtpLocation location = SplitFtpUrl(url);
  Check(location.Directory.empty() || location.Directory[0] == '/', "the directory begins with a slash");
  Check(location.Directory.empty() || location.Directory.back() == '/', "the directory ends with a slash");
  Check(EndsWith(url, location.Directory + fileName), "directory and file name end the URL");
  Check(location.Host.find_first_of("/:") == Text::npos, "the host holds no slash and no colon");
  if (url.find(':', url.compare(0, 6, "ftp://") == 0 ? 6 : 0) == Text::npos) {
    Check(location.Port == kDefaultFtpPort, "no port given, port 21");
  }
  return 0;
}
