#include "raster/frame_values.hpp"

#include <algorithm>
#include <cmath>

#include "raster/colour.hpp"

namespace facetview {

namespace {

// Camera's zoom stops at 2.5: its eye is never nearer than 3.25 / 2.5.
const float kNearestCameraDistance = 3.25f / 2.5f;

FrameValues frame_at(float distance, float pitch, float yaw, float roll, std::uint32_t width,
                     std::uint32_t height) {
  FrameValues frame{};
  frame.width_px = width;
  frame.height_px = height;
  frame.width = static_cast<float>(width);
  frame.height = static_cast<float>(height);
  frame.aspect = frame.width / std::max(frame.height, 1.0f);
  frame.distance = distance;
  frame.blend_distance = std::max(distance, kNearestCameraDistance);
  frame.blend_span = frame.blend_distance + 1.5f;
  frame.focal = 2.144507f;
  frame.sin_yaw = std::sin(yaw);
  frame.cos_yaw = std::cos(yaw);
  frame.sin_pitch = std::sin(pitch);
  frame.cos_pitch = std::cos(pitch);
  frame.sin_roll = std::sin(roll);
  frame.cos_roll = std::cos(roll);
  return frame;
}

}  // namespace

FrameValues make_frame_values(const Camera& camera, std::uint32_t width, std::uint32_t height) {
  const float zoom =
      clamp_to(camera.zoom, static_cast<float>(kLowestZoom), static_cast<float>(kHighestZoom));
  return frame_at(3.25f / zoom, camera.pitch, camera.yaw, camera.roll, width, height);
}

FrameValues make_frame_values(const OrbitCamera& camera, std::uint32_t width,
                              std::uint32_t height) {
  FrameValues frame =
      frame_at(camera.distance, camera.pitch, camera.yaw, camera.roll, width, height);
  frame.target = camera.target;
  frame.orthographic = camera.orthographic;
  frame.clips_near = true;
  return frame;
}

}  // namespace facetview
