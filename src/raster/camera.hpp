// The view direction and zoom a frame is rendered under.
#pragma once

namespace facetview {

// Stored as given: the renderer, not the record, limits the values it uses.
struct Camera {
  float pitch = 0.45f;
  float yaw = -0.55f;
  float roll = 0.0f;
  float zoom = 1.0f;
};

inline constexpr Camera kDefaultCamera{};

// The zoom the renderer honours: any other is clamped into this range. Kept as
// the decimal values the Python package works with; the renderer takes their
// nearest floats.
inline constexpr double kLowestZoom = 0.45;
inline constexpr double kHighestZoom = 2.5;

}  // namespace facetview
