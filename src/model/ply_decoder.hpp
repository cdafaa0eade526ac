// PLY: a text header that declares elements and their properties, then the
// elements' data as ASCII or as binary of either byte order.
#pragma once

#include <string>
#include <string_view>

#include "common/error.hpp"
#include "model/mesh.hpp"

namespace facetview {

// The mesh of the "vertex" element's x, y and z and the "face" element's
// "vertex_indices" (or "vertex_index") lists, each polygon as a fan. Other
// elements and properties are read past. No count of the header is trusted
// beyond the bytes that follow it. The mesh is named `name`.
Result<Mesh> decode_ply(std::string_view content, std::string name);

}  // namespace facetview
