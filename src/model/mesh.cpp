#include "model/mesh.hpp"

#include "model/bounds.hpp"

#include <cmath>
#include <iterator>

namespace facetview {
namespace {

Vec3 operator-(Vec3 a, Vec3 b) {
  return {a.x - b.x, a.y - b.y, a.z - b.z};
}
Vec3 operator/(Vec3 v, float s) {
  return {v.x / s, v.y / s, v.z / s};
}

Vec3 computed_normal(Vec3 a, Vec3 b, Vec3 c) {
  const Vec3 e1 = b - a;
  const Vec3 e2 = c - a;
  const Vec3 n{e1.y * e2.z - e1.z * e2.y, e1.z * e2.x - e1.x * e2.z, e1.x * e2.y - e1.y * e2.x};
  const float length = std::sqrt(n.z * n.z + (n.x * n.x + n.y * n.y));
  // Written so that a NaN length also gives the zero normal.
  if (length > kShortestDirectionLength) return n / length;
  return {};
}

}  // namespace

Triangle make_triangle(Vec3 candidate_normal, Vec3 a, Vec3 b, Vec3 c) {
  const Vec3 m = candidate_normal;
  const float length = std::sqrt(m.x * m.x + m.y * m.y + m.z * m.z);
  const Vec3 normal = length <= kShortestCandidateNormal ? computed_normal(a, b, c) : m / length;
  return Triangle{normal, {a, b, c}};
}

Mesh Mesh::demo_mesh() {
  static constexpr Vec3 kVertices[8] = {
      {-0.9f, -0.6f, -0.6f}, {0.8f, -0.6f, -0.6f}, {0.8f, 0.6f, -0.6f}, {-0.9f, 0.6f, -0.6f},
      {-0.6f, -0.4f, 0.8f},  {1.0f, -0.4f, 0.6f},  {0.7f, 0.7f, 0.8f},  {-0.7f, 0.8f, 0.7f},
  };
  // Bottom (0-1), slanted top (2-3), then the four sides; every computed normal
  // points into the hull.
  static constexpr int kFaces[12][3] = {
      {0, 1, 2}, {0, 2, 3}, {4, 6, 5}, {4, 7, 6}, {0, 4, 5}, {0, 5, 1},
      {1, 5, 6}, {1, 6, 2}, {2, 6, 7}, {2, 7, 3}, {3, 7, 4}, {3, 4, 0},
  };
  Mesh mesh;
  mesh.name = "demo hull";
  mesh.triangles.reserve(std::size(kFaces));
  for (const auto& face : kFaces) {
    mesh.triangles.push_back(
        make_triangle(Vec3{}, kVertices[face[0]], kVertices[face[1]], kVertices[face[2]]));
  }
  mesh.size = extents(bounds_of(mesh.triangles));
  return mesh;
}

}  // namespace facetview
