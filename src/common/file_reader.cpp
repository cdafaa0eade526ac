#include "common/file_reader.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>

namespace facetview {
namespace {

// The most one read call asks for: an endless file is asked about every 4 MiB.
constexpr std::size_t kMaxReadChunk = std::size_t{4} << 20;

}  // namespace

Result<FileReader> FileReader::open(const std::filesystem::path& path, Interruption& interruption) {
  if (path.native().find('\0') != std::string::npos) return Error("path contains a NUL byte");
  // Opening a FIFO waits for a writer; a signal may end the wait.
  int fd = -1;
  while ((fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC)) < 0) {
    if (errno != EINTR) return os_error(errno);
    if (Status go_on = interruption.check(); !go_on) return std::move(go_on).error();
  }
  struct stat status {};
  if (::fstat(fd, &status) != 0) {
    const int error = errno;
    ::close(fd);
    return os_error(error);
  }
  std::optional<std::uint64_t> size;
  if (S_ISREG(status.st_mode) && status.st_size > 0)
    size = static_cast<std::uint64_t>(status.st_size);
  return FileReader(fd, size);
}

FileReader::~FileReader() {
  if (fd_ >= 0) ::close(fd_);
}

Result<std::size_t> FileReader::read_some(std::span<char> buffer, Interruption& interruption) {
  if (Status go_on = interruption.check(); !go_on) return std::move(go_on).error();
  while (true) {
    const ssize_t got = ::read(fd_, buffer.data(), std::min(buffer.size(), kMaxReadChunk));
    if (got >= 0) return static_cast<std::size_t>(got);
    if (errno != EINTR) return os_error(errno);
    if (Status go_on = interruption.check(); !go_on) return std::move(go_on).error();
  }
}

Result<std::size_t> FileReader::read_full(std::span<char> buffer, Interruption& interruption) {
  std::size_t used = 0;
  while (used < buffer.size()) {
    Result<std::size_t> got = read_some(buffer.subspan(used), interruption);
    if (!got) return std::move(got).error();
    if (*got == 0) break;
    used += *got;
  }
  return used;
}

}  // namespace facetview
