#include "model/triangle_normals.hpp"

#include <cmath>
#include <cstring>

#include "common/simd.hpp"

namespace facetview {
namespace {

// Four triangles side by side, one per lane. Each lane does the same
// correctly rounded float operations, in the same order, as make_triangle.
using Floats = Simd<4>::Floats;

struct Vec3Lanes {
  Floats x, y, z;
};

// Lane-wise square root, correctly rounded like std::sqrt.
Floats square_root(Floats v) {
#if defined(__x86_64__)
  return __builtin_ia32_sqrtps(v);
#else
  for (int lane = 0; lane < 4; ++lane) v[lane] = std::sqrt(v[lane]);
  return v;
#endif
}

Vec3 place(Vec3 v, const Placement& p) {
  return {(v.x - p.centre.x) * p.scale, (v.y - p.centre.y) * p.scale, (v.z - p.centre.z) * p.scale};
}

// make_triangle on the placed corners of four triangles.
void settle_four(Triangle* triangles, const Placement* placement) {
  // The twelve floats of each triangle (normal, a, b, c) as three rows of
  // four, turned into twelve columns of one float per triangle.
  static_assert(sizeof(Triangle) == 12 * sizeof(float));
  Floats values[12];
  for (int lane = 0; lane < 4; ++lane) std::memcpy(&values[3 * lane], &triangles[lane], 48);
  // values[3 * lane + block] holds floats 4 * block .. 4 * block + 3 of a triangle.
  Floats columns[12];
  for (int block = 0; block < 3; ++block) {
    Floats rows[4] = {values[block], values[3 + block], values[6 + block], values[9 + block]};
    transpose<4>(rows[0], rows[1], rows[2], rows[3]);
    for (int k = 0; k < 4; ++k) columns[4 * block + k] = rows[k];
  }

  // Placement: (v - centre) * scale for every coordinate of the three corners.
  if (placement) {
    const Floats centre[3] = {broadcast<4>(placement->centre.x), broadcast<4>(placement->centre.y),
                              broadcast<4>(placement->centre.z)};
    const Floats scale = broadcast<4>(placement->scale);
    for (int k = 3; k < 12; ++k) columns[k] = (columns[k] - centre[k % 3]) * scale;
  }
  const Vec3Lanes m{columns[0], columns[1], columns[2]};
  const Vec3Lanes a{columns[3], columns[4], columns[5]};
  const Vec3Lanes b{columns[6], columns[7], columns[8]};
  const Vec3Lanes c{columns[9], columns[10], columns[11]};

  // make_triangle's computed normal: e1 x e2 over its length L when L > 2^-23,
  // else zero.
  const Vec3Lanes e1{b.x - a.x, b.y - a.y, b.z - a.z};
  const Vec3Lanes e2{c.x - a.x, c.y - a.y, c.z - a.z};
  const Vec3Lanes n{e1.y * e2.z - e1.z * e2.y, e1.z * e2.x - e1.x * e2.z,
                    e1.x * e2.y - e1.y * e2.x};
  const Floats length = square_root(n.z * n.z + (n.x * n.x + n.y * n.y));
  const Floats zero{};
  const auto has_direction = length > broadcast<4>(kShortestDirectionLength);
  // The candidate's length M.
  const Floats candidate_length = square_root(m.x * m.x + m.y * m.y + m.z * m.z);
  // A candidate longer than 0.0001 (or NaN) wins, scaled; otherwise the
  // computed normal.
  const auto candidate_wins = ~(candidate_length <= broadcast<4>(kShortestCandidateNormal));
  columns[0] = candidate_wins ? m.x / candidate_length : has_direction ? n.x / length : zero;
  columns[1] = candidate_wins ? m.y / candidate_length : has_direction ? n.y / length : zero;
  columns[2] = candidate_wins ? m.z / candidate_length : has_direction ? n.z / length : zero;

  // Back to rows; without a placement only the first block changed.
  const int changed_blocks = placement ? 3 : 1;
  for (int block = 0; block < changed_blocks; ++block) {
    Floats rows[4] = {columns[4 * block], columns[4 * block + 1], columns[4 * block + 2],
                      columns[4 * block + 3]};
    transpose<4>(rows[0], rows[1], rows[2], rows[3]);
    for (int lane = 0; lane < 4; ++lane) {
      std::memcpy(reinterpret_cast<float*>(&triangles[lane]) + 4 * block, &rows[lane], 16);
    }
  }
}

void settle(std::span<Triangle> triangles, const Placement* placement) {
  const std::size_t whole = triangles.size() / 4 * 4;
  for (std::size_t first = 0; first < whole; first += 4) {
    settle_four(triangles.data() + first, placement);
  }
  for (Triangle& t : triangles.subspan(whole)) {
    auto [a, b, c] = t.vertices;
    if (placement) a = place(a, *placement), b = place(b, *placement), c = place(c, *placement);
    t = make_triangle(t.normal, a, b, c);
  }
}

}  // namespace

void settle_normals(std::span<Triangle> triangles) {
  settle(triangles, nullptr);
}

void place_and_settle_normals(std::span<Triangle> triangles, const Placement& placement) {
  settle(triangles, &placement);
}

}  // namespace facetview
