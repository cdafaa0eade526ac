#include "stl/bounding_box.hpp"

#include <cmath>
#include <limits>

namespace facetview {

BoundingBox bounding_box(std::span<const Triangle> triangles) {
  constexpr float kInf = std::numeric_limits<float>::infinity();
  // std::fmin and std::fmax return the other operand for a NaN.
  Vec3 low{kInf, kInf, kInf};
  Vec3 high{-kInf, -kInf, -kInf};
  for (const Triangle& triangle : triangles) {
    for (const Vec3& v : triangle.vertices) {
      low = {std::fmin(low.x, v.x), std::fmin(low.y, v.y), std::fmin(low.z, v.z)};
      high = {std::fmax(high.x, v.x), std::fmax(high.y, v.y), std::fmax(high.z, v.z)};
    }
  }
  return {low, high};
}

Vec3 extents(std::span<const Triangle> triangles) {
  const BoundingBox box = bounding_box(triangles);
  // No vertices give -infinity, vertices all at one infinity give NaN: both
  // have no extent.
  const auto side = [](float low, float high) {
    const float size = high - low;
    return size >= 0.0f ? size : 0.0f;
  };
  return {side(box.low.x, box.high.x), side(box.low.y, box.high.y), side(box.low.z, box.high.z)};
}

}  // namespace facetview
