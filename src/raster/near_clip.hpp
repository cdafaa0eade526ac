// Cutting a view-space triangle at the near limit.
#pragma once

#include <array>

#include "model/vec3.hpp"

namespace facetview {

// A corner in view space with its view depth d = D - Z.
struct ViewCorner {
  Vec3 view;
  float depth;
};

// The part of a triangle at or beyond the near limit: a triangle (3 corners),
// a quadrilateral (4) or nothing (0), the corners in the triangle's winding.
struct NearClipped {
  std::array<ViewCorner, 4> corners;
  int count;
};

// Corners nearer than kNearLimit are cut away. A new corner lies on an edge
// from its corner at or beyond the limit to its nearer one, computed in that
// direction whichever triangle the edge belongs to, so neighbours sharing the
// edge get the same point; its depth is the limit exactly.
NearClipped clip_to_near_limit(const std::array<Vec3, 3>& view, const std::array<float, 3>& depth);

}  // namespace facetview
