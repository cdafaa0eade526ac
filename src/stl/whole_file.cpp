#include "stl/whole_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <new>
#include <stdexcept>
#include <utility>

namespace facetview {
namespace {

// Linux transfers at most this much in one read call.
constexpr std::size_t kMaxReadChunk = 0x7ffff000;
// Buffer growth for files whose size is not known in advance (pipes, /proc).
constexpr std::size_t kMinGrowth = 64 * 1024;
// Bytes read between two checks for signals: a source that never ends and
// never blocks, such as /dev/zero, gets no EINTR to stop it.
constexpr std::size_t kBytesBetweenSignalChecks = 4 << 20;

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() { ::close(fd_); }
  int get() const { return fd_; }

 private:
  int fd_;
};

Result<std::string> read_all(const FileDescriptor& file, Interruption& interruption) {
  struct stat status {};
  if (::fstat(file.get(), &status) != 0) return os_error(errno);
  const bool sized = S_ISREG(status.st_mode) && status.st_size > 0;
  // One byte beyond the known size, so that the end shows up without growing.
  std::string content(sized ? static_cast<std::size_t>(status.st_size) + 1 : kMinGrowth, '\0');
  std::size_t used = 0;
  std::size_t next_signal_check = kBytesBetweenSignalChecks;
  while (true) {
    if (used == content.size()) content.resize(std::max(content.size() * 2, kMinGrowth));
    const std::size_t wanted = std::min(content.size() - used, kMaxReadChunk);
    const ssize_t got = ::read(file.get(), content.data() + used, wanted);
    if (got < 0) {
      if (errno != EINTR) return os_error(errno);
      if (Status go_on = interruption.check(); !go_on) return std::move(go_on).error();
      continue;
    }
    if (got == 0) break;
    used += static_cast<std::size_t>(got);
    if (used >= next_signal_check) {
      if (Status go_on = interruption.check(); !go_on) return std::move(go_on).error();
      next_signal_check = used + kBytesBetweenSignalChecks;
    }
  }
  content.resize(used);
  return content;
}

}  // namespace

Result<std::string> read_whole_file(const std::filesystem::path& path, Interruption& interruption) {
  if (path.native().find('\0') != std::string::npos) return Error("path contains a NUL byte");
  // Opening a FIFO waits for a writer; a signal may end the wait.
  int fd = -1;
  while ((fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC)) < 0) {
    if (errno != EINTR) return os_error(errno);
    if (Status go_on = interruption.check(); !go_on) return std::move(go_on).error();
  }
  const FileDescriptor file(fd);
  try {
    return read_all(file, interruption);
  } catch (const std::bad_alloc&) {
    return os_error(ENOMEM);
  } catch (const std::length_error&) {
    return os_error(ENOMEM);
  }
}

}  // namespace facetview
