#include "common/whole_file.hpp"

#include <algorithm>
#include <cerrno>
#include <new>
#include <stdexcept>

#include "common/file_reader.hpp"

namespace facetview {
namespace {

// Buffer growth for files whose size is not known in advance (pipes, /proc).
constexpr std::size_t kMinGrowth = 64 * 1024;

Result<std::string> read_rest(FileReader& file, Interruption& interruption) {
  const std::optional<std::uint64_t> size = file.reported_size();
  // One byte beyond the known size, so that the end shows up without growing.
  std::string content(size ? static_cast<std::size_t>(*size) + 1 : kMinGrowth, '\0');
  std::size_t used = 0;
  while (true) {
    if (used == content.size()) content.resize(std::max(content.size() * 2, kMinGrowth));
    Result<std::size_t> got = file.read_some(std::span(content).subspan(used), interruption);
    if (!got) return std::move(got).error();
    if (*got == 0) break;
    used += *got;
  }
  content.resize(used);
  return content;
}

}  // namespace

Result<std::string> read_to_end(FileReader& file, Interruption& interruption) {
  try {
    return read_rest(file, interruption);
  } catch (const std::bad_alloc&) {
    return os_error(ENOMEM);
  } catch (const std::length_error&) {
    return os_error(ENOMEM);
  }
}

Result<std::string> read_whole_file(const std::filesystem::path& path, Interruption& interruption) {
  Result<FileReader> file = FileReader::open(path, interruption);
  if (!file) return std::move(file).error();
  return read_to_end(*file, interruption);
}

}  // namespace facetview
