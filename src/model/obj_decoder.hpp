// Wavefront OBJ: "v" lines for vertices, "f" lines for polygons.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/error.hpp"
#include "model/load_limits.hpp"
#include "model/mesh.hpp"

namespace facetview {

// The mesh of the faces of every object and group in an OBJ text, each
// polygon as a fan. Face corners may be "v", "v/vt", "v//vn" or "v/vt/vn";
// only v is used, counted from 1, or from the end of the vertices so far when
// negative. Other statements (texture coordinates, normals, materials, lines)
// are passed over; faces of fewer than three corners are skipped and counted
// in a warning. Lines end in LF, CR LF or CR, and a backslash at the end of a
// line joins the next. Past `max_triangles`, the text is refused. The mesh
// is named `name`.
Result<Mesh> decode_obj(std::string_view content, std::string name,
                        std::uint64_t max_triangles = kMaxTriangles);

}  // namespace facetview
