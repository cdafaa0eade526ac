#include "raster/frame_values.hpp"

#include <algorithm>
#include <cmath>

#include "raster/colour.hpp"

namespace facetview {

FrameValues make_frame_values(const Camera& camera, std::uint32_t width, std::uint32_t height) {
  FrameValues frame{};
  frame.width_px = width;
  frame.height_px = height;
  frame.width = static_cast<float>(width);
  frame.height = static_cast<float>(height);
  frame.aspect = frame.width / std::max(frame.height, 1.0f);
  const float zoom =
      clamp_to(camera.zoom, static_cast<float>(lowest_zoom), static_cast<float>(highest_zoom));
  frame.distance = 3.25f / zoom;
  frame.blend_span = frame.distance + 1.5f;
  frame.focal = 2.144507f;
  frame.sin_yaw = std::sin(camera.yaw);
  frame.cos_yaw = std::cos(camera.yaw);
  frame.sin_pitch = std::sin(camera.pitch);
  frame.cos_pitch = std::cos(camera.pitch);
  frame.sin_roll = std::sin(camera.roll);
  frame.cos_roll = std::cos(camera.roll);
  return frame;
}

}  // namespace facetview
