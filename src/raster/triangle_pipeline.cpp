#include "raster/triangle_pipeline.hpp"

#include <algorithm>
#include <array>
#include <cmath>

#include "raster/near_clip.hpp"
#include "raster/shading.hpp"

namespace facetview {
namespace {

bool all_finite(const std::array<float, 3>& values) {
  return std::isfinite(values[0]) && std::isfinite(values[1]) && std::isfinite(values[2]);
}

bool all_below(const std::array<float, 3>& values, float limit) {
  return values[0] < limit && values[1] < limit && values[2] < limit;
}

bool all_above(const std::array<float, 3>& values, float limit) {
  return values[0] > limit && values[1] > limit && values[2] > limit;
}

// Raises a finite coordinate to 0, lowers it to the last pixel index and
// converts it. The last index is applied again as an integer because W - 1 as
// a float rounds up for frames wider than 2^24 pixels.
std::int32_t to_pixel_index(float coordinate, std::uint32_t size) {
  const std::uint32_t last = size - 1;
  const float clamped = std::min(std::max(coordinate, 0.0f), static_cast<float>(last));
  return static_cast<std::int32_t>(std::min(static_cast<std::uint32_t>(clamped), last));
}

// Steps 5 to 9: projects a view-space triangle, rejects it when it lies off
// the frame or has no area, and scans it in `colour`.
void draw_view_triangle(const std::array<Vec3, 3>& view, const std::array<float, 3>& view_depth,
                        TriangleColour& colour, const FrameValues& frame,
                        const FrameBuffers& buffers) {
  // 5. Projection: by each corner's depth, or for orthographic views by the
  // eye's distance to the target, where both show the same size.
  ScreenTriangle screen{};
  for (int k = 0; k < 3; ++k) {
    const float d = frame.orthographic ? frame.distance : view_depth[k];
    screen.x[k] = frame.width * (view[k].x * frame.focal / frame.aspect / d * 0.5f + 0.5f);
    screen.y[k] = frame.height * (1.0f - (view[k].y * frame.focal / d * 0.5f + 0.5f));
    screen.inverse_depth[k] = frame.orthographic ? view_depth[k] : 1.0f / view_depth[k];
  }
  screen.linear_depth = frame.orthographic;
  // Non-finite camera values or coordinates leave nothing sensible to draw.
  if (!all_finite(screen.x) || !all_finite(screen.y)) return;
  // 6. Screen rejection.
  if (all_below(screen.x, 0.0f) || all_above(screen.x, frame.width) || all_below(screen.y, 0.0f) ||
      all_above(screen.y, frame.height)) {
    return;
  }

  // 7. Bounding box.
  const auto [x_low, x_high] = std::minmax({screen.x[0], screen.x[1], screen.x[2]});
  const auto [y_low, y_high] = std::minmax({screen.y[0], screen.y[1], screen.y[2]});
  const PixelBox box{to_pixel_index(std::floor(x_low), frame.width_px),
                     to_pixel_index(std::ceil(x_high), frame.width_px),
                     to_pixel_index(std::floor(y_low), frame.height_px),
                     to_pixel_index(std::ceil(y_high), frame.height_px)};

  // 8. Area.
  screen.doubled_area = (screen.y[1] - screen.y[0]) * (screen.x[2] - screen.x[0]) -
                        (screen.x[1] - screen.x[0]) * (screen.y[2] - screen.y[0]);
  if (std::fabs(screen.doubled_area) <= kMinimumDoubledArea) return;

  // 9. Scan.
  scan_triangle(screen, box, colour, buffers);
}

}  // namespace

void draw_triangle(const Triangle& triangle, const FrameValues& frame,
                   const FrameBuffers& buffers) {
  // 1. View transform.
  std::array<Vec3, 3> view;
  std::array<float, 3> view_depth;
  for (int k = 0; k < 3; ++k) {
    view[k] = to_view_space(frame, triangle.vertices[k]);
    view_depth[k] = frame.distance - view[k].z;
  }
  // 2. Near rejection, where the frame does not clip instead.
  const bool reaches_near =
      view_depth[0] <= kNearLimit || view_depth[1] <= kNearLimit || view_depth[2] <= kNearLimit;
  if (reaches_near && !frame.clips_near) return;
  // 3. Facing: only corners running counter-clockwise as seen from the eye face it.
  const float facing = (view[1].x - view[0].x) * (view[2].y - view[0].y) -
                       (view[1].y - view[0].y) * (view[2].x - view[0].x);
  if (facing <= 0.0f) return;
  if (reaches_near) return draw_near_clipped(view, view_depth, frame, buffers);

  // 4. Colour, on first use by the scan.
  TriangleColour colour(view, frame);
  draw_view_triangle(view, view_depth, colour, frame, buffers);
}

void draw_near_clipped(const std::array<Vec3, 3>& view, const std::array<float, 3>& view_depth,
                       const FrameValues& frame, const FrameBuffers& buffers) {
  // Shading stays that of the whole triangle.
  TriangleColour colour(view, frame);
  const NearClipped part = clip_to_near_limit(view, view_depth);
  // A fan from the first corner: one piece of a triangle, two of a quadrilateral.
  for (int last = 2; last < part.count; ++last) {
    const ViewCorner& a = part.corners[0];
    const ViewCorner& b = part.corners[last - 1];
    const ViewCorner& c = part.corners[last];
    draw_view_triangle({a.view, b.view, c.view}, {a.depth, b.depth, c.depth}, colour, frame,
                       buffers);
  }
}

}  // namespace facetview
