#include "raster/axis_triad.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace facetview {
namespace {

// The triad's arm as a share of the frame's shorter side, and its distance
// from the frame's edges.
constexpr float kArmShare = 0.09f;
constexpr float kMarginShare = 0.04f;
constexpr float kShortestArm = 6.0f;

void put_pixel(const FrameValues& frame, const FrameBuffers& buffers, float x, float y,
               const Rgba& colour) {
  if (!(x >= 0.0f && y >= 0.0f && x < frame.width && y < frame.height)) return;
  const auto column = std::min(static_cast<std::uint32_t>(x), frame.width_px - 1);
  const auto row = std::min(static_cast<std::uint32_t>(y), frame.height_px - 1);
  std::memcpy(buffers.rgba.data() + (std::size_t{row} * buffers.width + column) * 4, colour.data(),
              colour.size());
}

}  // namespace

void draw_axis_triad(const FrameValues& frame, const FrameBuffers& buffers) {
  const float shorter = std::min(frame.width, frame.height);
  const float arm = std::max(kShortestArm, kArmShare * shorter);
  const float margin = std::max(2.0f, kMarginShare * shorter);
  const float origin_x = margin + arm;
  const float origin_y = frame.height - margin - arm;
  const int thickness = std::max(1, static_cast<int>(arm / 14.0f));

  Vec3 axes[3];
  int order[3] = {0, 1, 2};
  for (int k = 0; k < 3; ++k) {
    axes[k] =
        turned_to_view(frame, {k == 0 ? 1.0f : 0.0f, k == 1 ? 1.0f : 0.0f, k == 2 ? 1.0f : 0.0f});
  }
  std::stable_sort(order, order + 3, [&](int a, int b) { return axes[a].z < axes[b].z; });
  for (const int k : order) {
    const float dx = axes[k].x * arm;
    const float dy = -axes[k].y * arm;
    if (!std::isfinite(dx) || !std::isfinite(dy)) continue;
    const int steps = static_cast<int>(std::ceil(std::max(std::fabs(dx), std::fabs(dy)))) + 1;
    for (int step = 0; step <= steps; ++step) {
      const float t = static_cast<float>(step) / static_cast<float>(steps);
      for (int i = 0; i < thickness; ++i) {
        for (int j = 0; j < thickness; ++j) {
          put_pixel(frame, buffers, origin_x + t * dx + static_cast<float>(i),
                    origin_y + t * dy + static_cast<float>(j), kAxisColours[k]);
        }
      }
    }
  }
}

}  // namespace facetview
