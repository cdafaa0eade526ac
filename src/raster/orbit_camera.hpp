// A camera that orbits a point: the view for inspecting a model up close.
#pragma once

#include <variant>

#include "model/vec3.hpp"
#include "raster/camera.hpp"

namespace facetview {

// The eye orbits `target` (model space) at `distance`, turned by the same
// angles as Camera. Perspective keeps Camera's focal length; orthographic
// shows what lies at the target's depth at the size perspective shows it,
// and `distance` then only places the eye. Triangles reaching the near limit
// are clipped rather than dropped.
struct OrbitCamera {
  Vec3 target{};
  float distance = 3.25f;
  float pitch = 0.45f;
  float yaw = -0.55f;
  float roll = 0.0f;
  bool orthographic = false;
};

// Either camera, as the renderer takes it.
using AnyCamera = std::variant<Camera, OrbitCamera>;

}  // namespace facetview
