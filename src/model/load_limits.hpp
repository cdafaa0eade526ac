// Budgets that keep what a model file unpacks to in proportion to the file,
// so that a small or an endless input cannot take all memory.
#pragma once

#include <cstdint>
#include <string>

#include "common/error.hpp"
#include "common/whole_file.hpp"

namespace facetview {

// The environment variables that raise (or lower) the budgets.
inline constexpr const char* kMaxTrianglesVariable = "FACETVIEW_MAX_TRIANGLES";
inline constexpr const char* kMaxStreamBytesVariable = "FACETVIEW_MAX_READ_BYTES";

// Triangles a model may have after instancing, whatever its size...
inline constexpr std::uint64_t kMaxTriangles = 50'000'000;
// ... and per byte of the file, with a floor so that small files may place
// a part many times. 48 bytes a triangle: a file takes at most about 200
// times its size, or 48 MiB.
inline constexpr std::uint64_t kTrianglesPerByte = 4;
inline constexpr std::uint64_t kMinTriangleBudget = std::uint64_t{1} << 20;

struct LoadLimits {
  // The most triangles a model may have; 0 for the budget by content size.
  std::uint64_t max_triangles = 0;
  std::uint64_t max_stream_bytes = kMaxStreamBytes;
};

// The triangles a model of `content_size` bytes may have under `limits`.
std::uint64_t triangle_budget(std::uint64_t content_size, const LoadLimits& limits = {});

// "model has more than N triangles", naming the limit and how to raise it.
Error too_many_triangles(std::uint64_t budget);

// The limits that the environment variables set, else the defaults; an error
// for a value that is not a whole number of at least 1.
Result<LoadLimits> load_limits_from_environment();

}  // namespace facetview
