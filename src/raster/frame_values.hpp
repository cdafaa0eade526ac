// The values that hold for one whole frame: projection constants and the
// camera rotation.
#pragma once

#include <cstdint>

#include "model/vec3.hpp"
#include "raster/orbit_camera.hpp"

namespace facetview {

// Vertices closer to the eye than this drop their whole triangle, or, where
// the frame clips, the part of it beyond the limit.
inline constexpr float kNearLimit = 0.1f;

struct FrameValues {
  std::uint32_t width_px;
  std::uint32_t height_px;
  float width;       // W
  float height;      // H
  float aspect;      // W / max(H, 1)
  float distance;    // D: the eye sits at (0, 0, D) in view space
  float blend_span;  // S = D + 1.5, with D no nearer than Camera goes
  // The D of the distance blend: Camera's nearest eye (1.3) for eyes nearer,
  // so that a close look keeps the model's colours.
  float blend_distance;
  float focal;  // F = cot(25 deg): a vertical field of view of 50 deg
  float sin_yaw, cos_yaw;
  float sin_pitch, cos_pitch;
  float sin_roll, cos_roll;
  Vec3 target;        // the point the view turns about, at the origin for Camera
  bool orthographic;  // projected at depth D; the depth buffer then holds d itself
  bool clips_near;    // triangles reaching the near limit are clipped, not dropped
};

FrameValues make_frame_values(const Camera& camera, std::uint32_t width, std::uint32_t height);
FrameValues make_frame_values(const OrbitCamera& camera, std::uint32_t width, std::uint32_t height);

// Turns a model-space direction by yaw (about Y), then pitch (about X), then
// roll (about Z).
inline Vec3 turned_to_view(const FrameValues& frame, Vec3 direction) {
  const float x1 = direction.x * frame.cos_yaw + direction.z * frame.sin_yaw;
  const float z1 = direction.z * frame.cos_yaw - direction.x * frame.sin_yaw;
  const float y2 = direction.y * frame.cos_pitch - z1 * frame.sin_pitch;
  const float z = direction.y * frame.sin_pitch + z1 * frame.cos_pitch;
  return {x1 * frame.cos_roll - y2 * frame.sin_roll, x1 * frame.sin_roll + y2 * frame.cos_roll, z};
}

// Moves a model-space point by -target (nothing for Camera: x - 0 is x) and
// turns it.
inline Vec3 to_view_space(const FrameValues& frame, Vec3 model) {
  return turned_to_view(
      frame, {model.x - frame.target.x, model.y - frame.target.y, model.z - frame.target.z});
}

}  // namespace facetview
