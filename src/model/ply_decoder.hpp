// PLY: a text header that declares elements and their properties, then the
// elements' data as ASCII or as binary of either byte order.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/error.hpp"
#include "model/load_limits.hpp"
#include "model/mesh.hpp"

namespace facetview {

// The mesh of the "vertex" element's x, y and z and the "face" element's
// "vertex_indices" (or "vertex_index") lists, each polygon as a fan. Other
// elements and properties are read past. No count of the header is trusted
// beyond the bytes that follow it; past `max_triangles` the file is refused.
// Faces of fewer than three corners are skipped and counted in a warning. A
// byte-order mark before the header is passed over. The mesh is named `name`.
Result<Mesh> decode_ply(std::string_view content, std::string name,
                        std::uint64_t max_triangles = kMaxTriangles);

}  // namespace facetview
