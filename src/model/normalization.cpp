#include "model/normalization.hpp"

#include <cmath>
#include <utility>

#include "model/triangle_normals.hpp"

namespace facetview {

Mesh normalized_within(Mesh mesh, const Bounds& bounds) {
  const Vec3 centre{(bounds.low.x + bounds.high.x) * 0.5f, (bounds.low.y + bounds.high.y) * 0.5f,
                    (bounds.low.z + bounds.high.z) * 0.5f};
  const Vec3 size{bounds.high.x - bounds.low.x, bounds.high.y - bounds.low.y,
                  bounds.high.z - bounds.low.z};
  const float extent = std::fmax(std::fmax(size.x, size.y), size.z);
  const float scale = extent > kShortestDirectionLength ? 2.0f / extent : 1.0f;
  place_and_settle_normals(mesh.triangles, {centre, scale});
  return mesh;
}

Mesh Mesh::normalized() const& {
  return Mesh(*this).normalized();
}

Mesh Mesh::normalized() && {
  const Bounds bounds = bounds_of(triangles);
  return normalized_within(std::move(*this), bounds);
}

}  // namespace facetview
