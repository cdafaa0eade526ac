#include "surface/fd_writer.hpp"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>

namespace facetview {

Status write_to_fd(int fd, std::string_view bytes, std::size_t& written) {
  written = 0;
  while (written < bytes.size()) {
    // write() leaves counts above SSIZE_MAX to the implementation.
    const std::size_t chunk = std::min<std::size_t>(bytes.size() - written, SSIZE_MAX);
    const ssize_t result = ::write(fd, bytes.data() + written, chunk);
    if (result < 0) {
      if (errno == EINTR) continue;
      return os_error(errno);
    }
    if (result == 0) return Error("failed to write whole buffer");
    written += static_cast<std::size_t>(result);
  }
  return Status::success();
}

FdWriter::FdWriter(int fd, std::size_t capacity) : fd_(fd), capacity_(capacity) {
  buffer_.reserve(capacity);
}

Status FdWriter::write_all(std::string_view bytes) {
  const std::scoped_lock lock(mutex_);
  const std::size_t last_line_feed = bytes.rfind('\n');
  if (last_line_feed == std::string_view::npos) return append(bytes);

  const std::size_t lines_end = last_line_feed + 1;
  if (Status status = append(bytes.substr(0, lines_end)); !status) return status;
  if (Status status = flush_buffer(); !status) return status;
  return append(bytes.substr(lines_end));
}

Status FdWriter::flush() {
  const std::scoped_lock lock(mutex_);
  return flush_buffer();
}

std::size_t FdWriter::buffered_size() const {
  const std::scoped_lock lock(mutex_);
  return buffer_.size();
}

Status FdWriter::append(std::string_view bytes) {
  if (bytes.size() > capacity_ - buffer_.size()) {
    if (Status status = flush_buffer(); !status) return status;
  }
  if (bytes.size() > capacity_) {
    std::size_t written = 0;
    return write_to_fd(fd_, bytes, written);
  }
  buffer_.append(bytes);
  return Status::success();
}

Status FdWriter::flush_buffer() {
  std::size_t written = 0;
  Status status = write_to_fd(fd_, buffer_, written);
  buffer_.erase(0, written);
  return status;
}

}  // namespace facetview
