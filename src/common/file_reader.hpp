// A file read piece by piece into buffers that the caller owns.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <utility>

#include "common/error.hpp"
#include "common/interruption.hpp"

namespace facetview {

class FileReader {
 public:
  // Fails with the operating system's error, or when the path holds a NUL
  // byte, which the system calls would silently take as its end. An open that
  // a signal interrupts (a FIFO waiting for a writer) asks `interruption`.
  static Result<FileReader> open(const std::filesystem::path& path, Interruption& interruption);

  FileReader(FileReader&& other) noexcept
      : fd_(std::exchange(other.fd_, -1)), reported_size_(other.reported_size_) {}
  FileReader& operator=(FileReader&&) = delete;
  ~FileReader();

  // The size of a regular file as the system reports it; nothing for pipes,
  // devices and files that report no size (such as those under /proc).
  std::optional<std::uint64_t> reported_size() const { return reported_size_; }

  // Reads at most buffer.size() bytes and returns how many came; 0 only at the
  // end of the file (or for an empty buffer). After a signal interrupted the
  // read, and once per call besides (so that an endless file such as
  // /dev/zero can be stopped), `interruption` decides whether to go on.
  // A failed read gives the operating system's error.
  Result<std::size_t> read_some(std::span<char> buffer, Interruption& interruption);

  // Fills as much of `buffer` as the file holds: fewer bytes only at its end.
  Result<std::size_t> read_full(std::span<char> buffer, Interruption& interruption);

 private:
  FileReader(int fd, std::optional<std::uint64_t> reported_size)
      : fd_(fd), reported_size_(reported_size) {}

  int fd_;
  std::optional<std::uint64_t> reported_size_;
};

}  // namespace facetview
