#include "model/triangle_normals.hpp"

#include <cmath>
#include <cstring>

namespace facetview {
namespace {

// Four triangles side by side, one per lane. Each lane does the same
// correctly rounded float operations, in the same order, as make_triangle.
using Floats = float __attribute__((vector_size(16)));

struct Vec3Lanes {
  Floats x, y, z;
};

// Every lane set to `value`, a negative zero included.
Floats broadcast(float value) {
  return Floats{value, value, value, value};
}

// Lane-wise square root, correctly rounded like std::sqrt.
Floats square_root(Floats v) {
#if defined(__x86_64__)
  return __builtin_ia32_sqrtps(v);
#else
  for (int lane = 0; lane < 4; ++lane) v[lane] = std::sqrt(v[lane]);
  return v;
#endif
}

// Rows a, b, c, d become columns: lane j of result i is lane i of row j.
// Its own inverse.
void transpose(Floats& a, Floats& b, Floats& c, Floats& d) {
  const Floats ab_low = __builtin_shufflevector(a, b, 0, 4, 1, 5);
  const Floats ab_high = __builtin_shufflevector(a, b, 2, 6, 3, 7);
  const Floats cd_low = __builtin_shufflevector(c, d, 0, 4, 1, 5);
  const Floats cd_high = __builtin_shufflevector(c, d, 2, 6, 3, 7);
  a = __builtin_shufflevector(ab_low, cd_low, 0, 1, 4, 5);
  b = __builtin_shufflevector(ab_low, cd_low, 2, 3, 6, 7);
  c = __builtin_shufflevector(ab_high, cd_high, 0, 1, 4, 5);
  d = __builtin_shufflevector(ab_high, cd_high, 2, 3, 6, 7);
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
    transpose(rows[0], rows[1], rows[2], rows[3]);
    for (int k = 0; k < 4; ++k) columns[4 * block + k] = rows[k];
  }

  // Placement: (v - centre) * scale for every coordinate of the three corners.
  if (placement) {
    const Floats centre[3] = {broadcast(placement->centre.x), broadcast(placement->centre.y),
                              broadcast(placement->centre.z)};
    const Floats scale = broadcast(placement->scale);
    for (int k = 3; k < 12; ++k) columns[k] = (columns[k] - centre[k % 3]) * scale;
  }
  const Vec3Lanes m{columns[0], columns[1], columns[2]};
  const Vec3Lanes a{columns[3], columns[4], columns[5]};
  const Vec3Lanes b{columns[6], columns[7], columns[8]};
  const Vec3Lanes c{columns[9], columns[10], columns[11]};

  // make_triangle, step 1 (computed_normal): e1 x e2 over its length L when
  // L > 2^-23, else zero.
  const Vec3Lanes e1{b.x - a.x, b.y - a.y, b.z - a.z};
  const Vec3Lanes e2{c.x - a.x, c.y - a.y, c.z - a.z};
  const Vec3Lanes n{e1.y * e2.z - e1.z * e2.y, e1.z * e2.x - e1.x * e2.z,
                    e1.x * e2.y - e1.y * e2.x};
  const Floats length = square_root(n.z * n.z + (n.x * n.x + n.y * n.y));
  const Floats zero{};
  const auto has_direction = length > broadcast(shortest_direction_length);
  // Step 2: the candidate's length M.
  const Floats candidate_length = square_root(m.x * m.x + m.y * m.y + m.z * m.z);
  // Steps 3 and 4: a candidate longer than 0.0001 (or NaN) wins, scaled;
  // otherwise the computed normal.
  const auto candidate_wins = ~(candidate_length <= broadcast(shortest_candidate_normal));
  columns[0] = candidate_wins ? m.x / candidate_length : has_direction ? n.x / length : zero;
  columns[1] = candidate_wins ? m.y / candidate_length : has_direction ? n.y / length : zero;
  columns[2] = candidate_wins ? m.z / candidate_length : has_direction ? n.z / length : zero;

  // Back to rows; without a placement only the first block changed.
  const int changed_blocks = placement ? 3 : 1;
  for (int block = 0; block < changed_blocks; ++block) {
    Floats rows[4] = {columns[4 * block], columns[4 * block + 1], columns[4 * block + 2],
                      columns[4 * block + 3]};
    transpose(rows[0], rows[1], rows[2], rows[3]);
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
