// A buffered byte output over a file descriptor; standard output is one.
#pragma once

#include <cstddef>
#include <mutex>
#include <string>
#include <string_view>

#include "common/byte_output.hpp"
#include "common/error.hpp"

namespace facetview {

// Holds up to `capacity` bytes. A write that does not fit first empties the
// buffer to the descriptor, and one larger than the whole buffer then goes to
// the descriptor directly; a write containing a line feed empties the buffer
// up to its last line feed. Each call takes the lock on its own.
//
// Bytes that a failed flush could not write stay at the front of the buffer,
// in order, and the next call that empties the buffer tries them again.
class FdWriter final : public ByteOutput {
 public:
  // Does not take ownership of fd.
  FdWriter(int fd, std::size_t capacity);

  FdWriter(const FdWriter&) = delete;
  FdWriter& operator=(const FdWriter&) = delete;

  Status write_all(std::string_view bytes) override;
  Status flush() override;

  // Bytes accepted but not yet handed to the descriptor.
  std::size_t buffered_size() const;

 private:
  Status append(std::string_view bytes);
  Status flush_buffer();

  const int fd_;
  const std::size_t capacity_;
  std::string buffer_;
  mutable std::mutex mutex_;
};

// Writes every byte to fd, retrying partial writes and interrupted calls.
// `written` tells how many bytes went out, also on failure.
Status write_to_fd(int fd, std::string_view bytes, std::size_t& written);

}  // namespace facetview
