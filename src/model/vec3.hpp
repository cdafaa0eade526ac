// A point or a direction in 32-bit floats.
#pragma once

namespace facetview {

struct Vec3 {
  float x = 0.0f;
  float y = 0.0f;
  float z = 0.0f;

  friend bool operator==(const Vec3&, const Vec3&) = default;
};

// 2^-23, the 32-bit float machine epsilon: a vector no longer than this
// carries no direction.
inline constexpr float kShortestDirectionLength = 0x1p-23f;

}  // namespace facetview
