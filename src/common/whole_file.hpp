// Reading a file whole into memory.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "common/error.hpp"
#include "common/file_reader.hpp"
#include "common/interruption.hpp"

namespace facetview {

// The most bytes read from a pipe, a device or another file that reports no
// size, unless the caller says otherwise: /dev/zero ends here, not when
// memory does.
inline constexpr std::uint64_t kMaxStreamBytes = std::uint64_t{1} << 30;

// The whole content of the file at `path`. Fails with the operating system's
// error (a directory gives "Is a directory"), or when the path holds a NUL
// byte, which the system calls would silently take as its end. A read that a
// signal interrupts, and every few MiB of a long read, asks `interruption`
// whether to go on. A file without a size fails once it goes on past
// `max_stream_bytes`.
Result<std::string> read_whole_file(const std::filesystem::path& path,
                                    Interruption& interruption = retry_on_signal(),
                                    std::uint64_t max_stream_bytes = kMaxStreamBytes);

}  // namespace facetview

namespace facetview {

// The rest of an open file, from where it stands to its end; ENOMEM when it
// does not fit in memory, and an error naming the limit when a file without
// a size goes on past `max_stream_bytes`.
Result<std::string> read_to_end(FileReader& file, Interruption& interruption = retry_on_signal(),
                                std::uint64_t max_stream_bytes = kMaxStreamBytes);

}  // namespace facetview
