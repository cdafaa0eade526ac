// make_triangle's choice of normal for many triangles at a time.
#pragma once

#include <span>

#include "model/mesh.hpp"

namespace facetview {

// Where normalisation moves a mesh: every vertex v goes to (v - centre) * scale.
struct Placement {
  Vec3 centre;
  float scale;
};

// Gives every triangle the normal that make_triangle gives it with its
// present normal as the candidate and its vertices as they are, bit for bit.
void settle_normals(std::span<Triangle> triangles);

// The same after moving every vertex to its placement.
void place_and_settle_normals(std::span<Triangle> triangles, const Placement& placement);

}  // namespace facetview
