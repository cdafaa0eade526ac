// The axis-aligned box around a mesh's vertices.
#pragma once

#include <span>

#include "stl/mesh.hpp"

namespace facetview {

struct BoundingBox {
  Vec3 low;   // +infinity on every axis for no vertices
  Vec3 high;  // -infinity on every axis for no vertices
};

// Over the three vertices of every triangle (normals take no part); a NaN
// coordinate is passed over, so it does not spoil the box.
BoundingBox bounding_box(std::span<const Triangle> triangles);

// The box's side lengths (x, y, z): 0 on an axis without extent (no
// triangles at all, or only NaN or one infinity there).
Vec3 extents(std::span<const Triangle> triangles);

}  // namespace facetview
