#include "model/bounds.hpp"

#include <array>
#include <cstring>

namespace facetview {
namespace {

using Floats = float __attribute__((vector_size(16)));

// A triangle's twelve floats (normal, a, b, c) as three vectors of four; the
// vertex coordinates sit at these (vector, lane) places.
constexpr int kPlaces[3][3][2] = {
    {{0, 3}, {1, 2}, {2, 1}},  // x of a, b, c
    {{1, 0}, {1, 3}, {2, 2}},  // y
    {{1, 1}, {2, 0}, {2, 3}},  // z
};

float& component(Vec3& v, int axis) {
  return axis == 0 ? v.x : axis == 1 ? v.y : v.z;
}
float component(const Vec3& v, int axis) {
  return axis == 0 ? v.x : axis == 1 ? v.y : v.z;
}

// A box side that came out as zero takes the sign of the first zero in list
// order, which the lanes cannot tell.
void take_first_zero(std::span<const Triangle> triangles, float& side, int axis) {
  if (side != 0.0f) return;
  for (const Triangle& t : triangles) {
    for (int k = 0; k < 3; ++k) {
      const float value = component(t.vertices[k], axis);
      if (value == 0.0f) {
        side = value;
        return;
      }
    }
  }
}

}  // namespace

Bounds bounds_of(std::span<const Triangle> triangles) {
  static_assert(sizeof(Triangle) == 12 * sizeof(float));
  constexpr float kInf = Bounds::kInf;
  Floats low0 = Floats{} + kInf, low1 = low0, low2 = low0;
  Floats high0 = Floats{} - kInf, high1 = high0, high2 = high0;
  // A NaN compares false and leaves the box as it is; which of two equal
  // zeros a lane keeps is settled below.
  const auto lower = [](Floats v, Floats low) { return v < low ? v : low; };
  const auto higher = [](Floats v, Floats high) { return v > high ? v : high; };
  for (const Triangle& triangle : triangles) {
    Floats values[3];
    std::memcpy(values, &triangle, sizeof values);
    low0 = lower(values[0], low0), high0 = higher(values[0], high0);
    low1 = lower(values[1], low1), high1 = higher(values[1], high1);
    low2 = lower(values[2], low2), high2 = higher(values[2], high2);
  }
  const std::array<Floats, 3> low{low0, low1, low2}, high{high0, high1, high2};
  Bounds bounds;
  for (int axis = 0; axis < 3; ++axis) {
    float& low_side = component(bounds.low, axis);
    float& high_side = component(bounds.high, axis);
    for (const auto& [vector, lane] : kPlaces[axis]) {
      const float l = low[vector][lane], h = high[vector][lane];
      low_side = l < low_side ? l : low_side;
      high_side = h > high_side ? h : high_side;
    }
    take_first_zero(triangles, low_side, axis);
    take_first_zero(triangles, high_side, axis);
  }
  return bounds;
}

Bounds merged(const Bounds& earlier, const Bounds& later) {
  const auto low = [](float e, float l) { return l < e ? l : e; };
  const auto high = [](float e, float l) { return l > e ? l : e; };
  return {{low(earlier.low.x, later.low.x), low(earlier.low.y, later.low.y),
           low(earlier.low.z, later.low.z)},
          {high(earlier.high.x, later.high.x), high(earlier.high.y, later.high.y),
           high(earlier.high.z, later.high.z)}};
}

Vec3 extents(const Bounds& bounds) {
  // No vertices give -infinity, vertices all at one infinity give NaN: both
  // have no extent.
  const auto side = [](float low, float high) {
    const float size = high - low;
    return size >= 0.0f ? size : 0.0f;
  };
  return {side(bounds.low.x, bounds.high.x), side(bounds.low.y, bounds.high.y),
          side(bounds.low.z, bounds.high.z)};
}

}  // namespace facetview
