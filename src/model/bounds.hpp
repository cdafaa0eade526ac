// The box around every vertex of a triangle list.
#pragma once

#include <limits>
#include <span>

#include "model/mesh.hpp"

namespace facetview {

struct Bounds {
  static constexpr float kInf = std::numeric_limits<float>::infinity();
  Vec3 low{kInf, kInf, kInf};
  Vec3 high{-kInf, -kInf, -kInf};
};

// The box of every vertex in list order, as if each coordinate were taken in
// turn by low = v < low ? v : low (and high alike): a NaN coordinate does not
// spoil the box, and of two equal values (0 and -0) the earlier one is kept,
// whatever the compiler makes of std::fmin.
// No vertex leaves the box at +infinity to -infinity.
Bounds bounds_of(std::span<const Triangle> triangles);

// The box of `earlier`'s vertices followed by `later`'s, by the same rule.
Bounds merged(const Bounds& earlier, const Bounds& later);

// The box's side lengths (x, y, z): 0 on an axis without extent (no vertices
// at all, or only NaN or one infinity there).
Vec3 extents(const Bounds& bounds);

}  // namespace facetview
