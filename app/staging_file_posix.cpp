#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "app/staging_file.h"
#include "base/code_page.h"

namespace velbrook {
namespace {

std::optional<std::string> NativePath(const Text& path) {
  if (path.empty()) return std::nullopt;
  bool ok = false;
  std::string native = TextToUtf8(path, &ok);
  if (!ok) return std::nullopt;
  return native;
}

// File systems that take neither renameat2's flag nor hard links.
bool Unsupported(int error) {
  return error == EINVAL || error == ENOSYS || error == EPERM || error == ENOTSUP;
}

}  // namespace

std::optional<std::uint64_t> RegularFileSize(const Text& path) {
  const std::optional<std::string> native = NativePath(path);
  if (!native) return std::nullopt;
  struct stat info {};
  if (::lstat(native->c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
  return static_cast<std::uint64_t>(info.st_size);
}

bool RemoveEntry(const Text& path) {
  const std::optional<std::string> native = NativePath(path);
  if (!native) return false;
  return ::unlink(native->c_str()) == 0 || errno == ENOENT;
}

bool MoveWithoutReplacing(const Text& from, const Text& to) {
  const std::optional<std::string> source = NativePath(from);
  const std::optional<std::string> target = NativePath(to);
  if (!source || !target) return false;
  if (::renameat2(AT_FDCWD, source->c_str(), AT_FDCWD, target->c_str(), RENAME_NOREPLACE) == 0) return true;
  if (!Unsupported(errno)) return false;
  // A hard link fails when the target exists, just like the flag; the second name then goes.
  if (::link(source->c_str(), target->c_str()) != 0) return false;
  (void)::unlink(source->c_str());  // a left-over temporary file does no harm: the next run replaces it
  return true;
}

}  // namespace velbrook
