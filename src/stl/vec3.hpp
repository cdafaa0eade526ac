// A point or a direction in 32-bit floats.
#pragma once

namespace facetview {

struct Vec3 {
  float x = 0.0f;
  float y = 0.0f;
  float z = 0.0f;

  friend bool operator==(const Vec3&, const Vec3&) = default;
};

}  // namespace facetview
