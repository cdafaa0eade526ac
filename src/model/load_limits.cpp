#include "model/load_limits.hpp"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <string_view>

namespace facetview {
namespace {

Status read_variable(const char* name, std::uint64_t& out) {
  const char* text = std::getenv(name);
  if (text == nullptr || *text == '\0') return Status::success();
  const std::string_view value(text);
  std::uint64_t number = 0;
  const auto [end, fault] = std::from_chars(value.data(), value.data() + value.size(), number);
  if (fault != std::errc() || end != value.data() + value.size() || number == 0) {
    return Error(std::string(name) + " must be a whole number of at least 1");
  }
  out = number;
  return Status::success();
}

}  // namespace

std::uint64_t triangle_budget(std::uint64_t content_size, const LoadLimits& limits) {
  if (limits.max_triangles != 0) return limits.max_triangles;
  const std::uint64_t by_size = content_size > kMaxTriangles / kTrianglesPerByte
                                    ? kMaxTriangles
                                    : content_size * kTrianglesPerByte;
  return std::min(kMaxTriangles, std::max(kMinTriangleBudget, by_size));
}

Error too_many_triangles(std::uint64_t budget) {
  return Error("model has more than " + std::to_string(budget) + " triangles, the limit (set " +
               kMaxTrianglesVariable + " to raise it)");
}

Result<LoadLimits> load_limits_from_environment() {
  LoadLimits limits;
  if (Status read = read_variable(kMaxTrianglesVariable, limits.max_triangles); !read) {
    return std::move(read).error();
  }
  if (Status read = read_variable(kMaxStreamBytesVariable, limits.max_stream_bytes); !read) {
    return std::move(read).error();
  }
  return limits;
}

}  // namespace facetview
