// Turning the renderer's float colour channels into bytes.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>

namespace facetview {

// A colour with float channels (0 to 1) as the shading computes it, before
// conversion to bytes (the byte colour that terminals take is Rgb, in
// common/rgba.hpp).
struct LinearColour {
  float red, green, blue;
};

// One RGBA pixel as it is stored in the framebuffer.
using Rgba = std::array<std::uint8_t, 4>;

// Values below `low` become `low` and values above `high` become `high`; a NaN
// is neither and passes through unchanged.
inline float clamp_to(float value, float low, float high) {
  if (value < low) return low;
  if (value > high) return high;
  return value;
}

// Clamps to [0, 1], scales to 255 and truncates toward zero. A NaN channel
// (only reachable from non-finite geometry or camera values) becomes 0 rather
// than an undefined float-to-integer conversion.
inline std::uint8_t channel_to_byte(float value) {
  const float unit = clamp_to(value, 0.0f, 1.0f);
  if (std::isnan(unit)) return 0;
  return static_cast<std::uint8_t>(unit * 255.0f);
}

inline Rgba opaque_pixel(float red, float green, float blue) {
  return {channel_to_byte(red), channel_to_byte(green), channel_to_byte(blue), 255};
}

}  // namespace facetview
