// Wavefront OBJ: "v" lines for vertices, "f" lines for polygons.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/error.hpp"
#include "model/load_limits.hpp"
#include "model/mesh.hpp"
#include "model/obj_materials.hpp"

namespace facetview {

// The mesh of the faces of every object and group in an OBJ text, each
// polygon as a fan. Face corners may be "v", "v/vt", "v//vn" or "v/vt/vn";
// only v is used, counted from 1, or from the end of the vertices so far when
// negative. Faces after "usemtl" take the diffuse colour (Kd) of that
// material from the libraries that "mtllib" names, as `materials` reads them;
// faces without a known material are unpainted, and a mesh without any has
// no colours. Other statements (texture coordinates, normals, lines) are
// passed over; faces of fewer than three corners are skipped and counted
// in a warning. Lines end in LF, CR LF or CR, and a backslash at the end of a
// line joins the next. Past `max_triangles`, the text is refused. The mesh
// is named `name`.
Result<Mesh> decode_obj(std::string_view content, std::string name,
                        std::uint64_t max_triangles = kMaxTriangles,
                        const MaterialLibraryReader& materials = {});

}  // namespace facetview
