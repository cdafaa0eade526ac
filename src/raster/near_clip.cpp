#include "raster/near_clip.hpp"

#include "raster/frame_values.hpp"

namespace facetview {
namespace {

bool beyond_limit(float depth) {
  // A NaN depth counts as beyond: the projection then finds it non-finite.
  return !(depth < kNearLimit);
}

ViewCorner on_near_limit(const ViewCorner& beyond, const ViewCorner& nearer) {
  const float t = (beyond.depth - kNearLimit) / (beyond.depth - nearer.depth);
  const auto along = [t](float from, float to) { return from + t * (to - from); };
  return {{along(beyond.view.x, nearer.view.x), along(beyond.view.y, nearer.view.y),
           along(beyond.view.z, nearer.view.z)},
          kNearLimit};
}

}  // namespace

NearClipped clip_to_near_limit(const std::array<Vec3, 3>& view, const std::array<float, 3>& depth) {
  NearClipped clipped{};
  for (int k = 0; k < 3; ++k) {
    const ViewCorner current{view[k], depth[k]};
    const ViewCorner next{view[(k + 1) % 3], depth[(k + 1) % 3]};
    const bool current_kept = beyond_limit(current.depth);
    if (current_kept) clipped.corners[clipped.count++] = current;
    if (current_kept != beyond_limit(next.depth)) {
      clipped.corners[clipped.count++] =
          current_kept ? on_near_limit(current, next) : on_near_limit(next, current);
    }
  }
  return clipped;
}

}  // namespace facetview
