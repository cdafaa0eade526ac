// Binary STL: an 80-byte header, a little-endian 32-bit triangle count and
// 50-byte records.
#pragma once

#include <string>
#include <string_view>

#include "common/error.hpp"
#include "stl/mesh.hpp"

namespace facetview {

// True exactly when the content is 84 + 50 * N bytes long, N being the count
// at offset 80; the header's text plays no part.
bool is_binary_stl(std::string_view content);

// The mesh of a binary file; the name comes from the header's printable text,
// else `default_name`. Decodes no more records than the content holds.
Result<Mesh> decode_binary_stl(std::string_view content, std::string default_name);

}  // namespace facetview
