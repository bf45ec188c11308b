#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <limits>
#include <mutex>
#include <unordered_map>

#include "base/code_page.h"
#include "base/local_file.h"

namespace velbrook {
namespace {

// Handles map to descriptors through this table, so that a stale handle never reaches a descriptor
// number that the system has since given to another file.
struct HandleTable {
  std::mutex mutex;
  std::unordered_map<FileHandle, int> descriptors;
  FileHandle next = 1;
};

HandleTable& Table() {
  static HandleTable table;
  return table;
}

int DescriptorOf(FileHandle file) {
  if (file == 0) return -1;
  auto& table = Table();
  std::lock_guard lock(table.mutex);
  auto found = table.descriptors.find(file);
  return found == table.descriptors.end() ? -1 : found->second;
}

FileHandle OpenWith(const Text& path, int flags) {
  if (path.empty()) return 0;
  bool ok = false;
  std::string native = TextToUtf8(path, &ok);
  if (!ok) return 0;
  int fd = ::open(native.c_str(), flags | O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return 0;
  auto& table = Table();
  std::lock_guard lock(table.mutex);
  if (table.next == std::numeric_limits<FileHandle>::max()) {
    (void)::close(fd);  // handle space exhausted: refuse rather than reuse
    return 0;
  }
  FileHandle handle = table.next++;
  table.descriptors.emplace(handle, fd);
  return handle;
}

}  // namespace

FileHandle CreateOrTruncateFile(const Text& path) { return OpenWith(path, O_TRUNC); }

FileHandle OpenOrCreateFile(const Text& path) { return OpenWith(path, 0); }

void SeekFileToEnd(FileHandle file) {
  int fd = DescriptorOf(file);
  if (fd >= 0) (void)::lseek(fd, 0, SEEK_END);  // a failed seek shows up as a misplaced write
}

bool WriteFile(FileHandle file, const void* data, std::size_t size) {
  int fd = DescriptorOf(file);
  if (fd < 0) return false;
  const char* at = static_cast<const char*>(data);
  while (size > 0) {
    ssize_t written = ::write(fd, at, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    at += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

void CloseFile(FileHandle file) {
  if (file == 0) return;
  int fd = -1;
  {
    auto& table = Table();
    std::lock_guard lock(table.mutex);
    auto found = table.descriptors.find(file);
    if (found == table.descriptors.end()) return;
    fd = found->second;
    table.descriptors.erase(found);
  }
  (void)::close(fd);  // Linux releases the descriptor even when close reports an error
}

bool PathExists(const Text& path) {
  if (path.empty()) return false;
  bool ok = false;
  std::string native = TextToUtf8(path, &ok);
  if (!ok) return false;
  struct stat info {};
  return ::lstat(native.c_str(), &info) == 0;
}

std::size_t OpenFileCount() {
  auto& table = Table();
  std::lock_guard lock(table.mutex);
  return table.descriptors.size();
}

}  // namespace velbrook
