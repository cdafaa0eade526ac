#include "sphere_mesh.hpp"

#include <cmath>
#include <numbers>

namespace facetview::testing {

Mesh uv_sphere(std::uint32_t rings, std::uint32_t segments, float radius) {
  const auto point = [&](std::uint32_t ring, std::uint32_t segment) {
    const double polar = std::numbers::pi * ring / rings;
    const double azimuth = 2.0 * std::numbers::pi * segment / segments;
    return Vec3{static_cast<float>(radius * std::sin(polar) * std::cos(azimuth)),
                static_cast<float>(radius * std::cos(polar)),
                static_cast<float>(radius * std::sin(polar) * std::sin(azimuth))};
  };
  Mesh mesh;
  mesh.name = "sphere";
  mesh.triangles.reserve(std::size_t{2} * segments * (rings - 1));
  for (std::uint32_t ring = 0; ring < rings; ++ring) {
    for (std::uint32_t segment = 0; segment < segments; ++segment) {
      const Vec3 a = point(ring, segment);
      const Vec3 b = point(ring, segment + 1);
      const Vec3 c = point(ring + 1, segment);
      const Vec3 d = point(ring + 1, segment + 1);
      // The polar caps need one triangle per segment, the bands two.
      if (ring != 0) mesh.triangles.push_back(make_triangle({}, a, b, d));
      if (ring + 1 != rings) mesh.triangles.push_back(make_triangle({}, a, d, c));
    }
  }
  return mesh;
}

}  // namespace facetview::testing
