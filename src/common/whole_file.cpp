#include "common/whole_file.hpp"

#include <algorithm>
#include <cerrno>
#include <new>
#include <stdexcept>
#include <string>

#include "common/file_reader.hpp"

namespace facetview {
namespace {

// Buffer growth for files whose size is not known in advance (pipes, /proc).
constexpr std::size_t kMinGrowth = 64 * 1024;

Error too_long(std::uint64_t max_stream_bytes) {
  return Error("no end after " + std::to_string(max_stream_bytes) +
               " bytes, the limit for a pipe or device (set FACETVIEW_MAX_READ_BYTES to raise it)");
}

Result<std::string> read_rest(FileReader& file, Interruption& interruption,
                              std::uint64_t max_stream_bytes) {
  const std::optional<std::uint64_t> size = file.reported_size();
  // One byte beyond the known size, so that the end shows up without growing;
  // without a size, at most one byte beyond the limit, to see it passed.
  const std::uint64_t most = size ? UINT64_MAX : std::min(max_stream_bytes, UINT64_MAX - 1) + 1;
  std::string content(
      size ? static_cast<std::size_t>(*size) + 1 : std::min<std::uint64_t>(kMinGrowth, most), '\0');
  std::size_t used = 0;
  while (true) {
    if (used == content.size()) {
      if (used >= most) return too_long(max_stream_bytes);
      content.resize(static_cast<std::size_t>(
          std::min<std::uint64_t>(std::max(content.size() * 2, kMinGrowth), most)));
    }
    Result<std::size_t> got = file.read_some(std::span(content).subspan(used), interruption);
    if (!got) return std::move(got).error();
    if (*got == 0) break;
    used += *got;
  }
  content.resize(used);
  return content;
}

}  // namespace

Result<std::string> read_to_end(FileReader& file, Interruption& interruption,
                                std::uint64_t max_stream_bytes) {
  try {
    return read_rest(file, interruption, max_stream_bytes);
  } catch (const std::bad_alloc&) {
    return os_error(ENOMEM);
  } catch (const std::length_error&) {
    return os_error(ENOMEM);
  }
}

Result<std::string> read_whole_file(const std::filesystem::path& path, Interruption& interruption,
                                    std::uint64_t max_stream_bytes) {
  Result<FileReader> file = FileReader::open(path, interruption);
  if (!file) return std::move(file).error();
  return read_to_end(*file, interruption, max_stream_bytes);
}

}  // namespace facetview
