// The pixel layout of every frame: row-major RGBA, one byte per channel.
#pragma once

#include <cstddef>
#include <cstdint>

namespace facetview {

inline constexpr std::size_t kBytesPerPixel = 4;

// A colour without alpha, as terminals take it.
struct Rgb {
  std::uint8_t r = 0;
  std::uint8_t g = 0;
  std::uint8_t b = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

}  // namespace facetview
