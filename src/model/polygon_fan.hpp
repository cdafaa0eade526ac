// Triangles from polygons that index a list of vertices.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/error.hpp"
#include "model/mesh.hpp"

namespace facetview {

// Appends the polygon whose corners index `vertices` as a fan from its first
// corner: corners 0, i, i + 1 for every i from 1 on. Each triangle is made by
// make_triangle without a candidate normal, so its normal follows the winding.
// A polygon of fewer than three corners adds nothing. Fails, appending
// nothing, when a corner lies outside the vertex list.
Status append_polygon_fan(std::vector<Triangle>& triangles, std::span<const Vec3> vertices,
                          std::span<const std::uint64_t> corners);

// The mesh of the faces a text format's reader collected, named `name`; an
// error "<format> file contained no faces" when there are none. Faces of
// fewer than three corners that the reader skipped become a warning.
Result<Mesh> mesh_of_faces(std::vector<Triangle>&& triangles, std::string name,
                           std::string_view format, std::uint64_t skipped_faces = 0);

}  // namespace facetview
