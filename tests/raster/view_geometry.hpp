// An independent, double-precision view of what an OrbitCamera sees: the ray
// through a point of the frame.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "raster/orbit_camera.hpp"

namespace facetview::testing {

struct Point {
  double x, y, z;
};

// Points of the ray at a parameter that is their view depth.
struct Ray {
  Point origin, direction;
  Point at(double t) const {
    return {origin.x + t * direction.x, origin.y + t * direction.y, origin.z + t * direction.z};
  }
};

// A view-space vector turned back into model space (roll, pitch, yaw undone).
inline Point to_model(const OrbitCamera& camera, Point v) {
  const double r = camera.roll, p = camera.pitch, y = camera.yaw;
  const double x1 = v.x * std::cos(r) + v.y * std::sin(r);
  const double y2 = -v.x * std::sin(r) + v.y * std::cos(r);
  const double my = y2 * std::cos(p) + v.z * std::sin(p);
  const double z1 = -y2 * std::sin(p) + v.z * std::cos(p);
  return {x1 * std::cos(y) - z1 * std::sin(y), my, x1 * std::sin(y) + z1 * std::cos(y)};
}

// The ray of the frame point (px, py) of a w x h frame: the eye's for
// perspective, parallel to the view axis for orthographic views.
inline Ray ray_through(const OrbitCamera& camera, std::uint32_t w, std::uint32_t h, double px,
                       double py) {
  const double focal = 2.144507, aspect = double(w) / std::max<double>(h, 1);
  const double a = (px / w - 0.5) * 2 * aspect / focal, b = (0.5 - py / h) * 2 / focal;
  const double d = camera.distance;
  const Point origin_view = camera.orthographic ? Point{a * d, b * d, d} : Point{0, 0, d};
  const Point direction_view = camera.orthographic ? Point{0, 0, -1} : Point{a, b, -1};
  const Point o = to_model(camera, origin_view);
  return {{o.x + camera.target.x, o.y + camera.target.y, o.z + camera.target.z},
          to_model(camera, direction_view)};
}

// Where the ray enters the box, or NaN where it misses it.
inline double box_entry(Vec3 low, Vec3 high, const Ray& ray) {
  double enter = -INFINITY, leave = INFINITY;
  const double lo[3] = {low.x, low.y, low.z}, hi[3] = {high.x, high.y, high.z};
  const double o[3] = {ray.origin.x, ray.origin.y, ray.origin.z};
  const double d[3] = {ray.direction.x, ray.direction.y, ray.direction.z};
  for (int k = 0; k < 3; ++k) {
    const double t0 = (lo[k] - o[k]) / d[k], t1 = (hi[k] - o[k]) / d[k];
    enter = std::max(enter, std::min(t0, t1));
    leave = std::min(leave, std::max(t0, t1));
  }
  return enter <= leave && enter > 0 ? enter : std::nan("");
}

}  // namespace facetview::testing
