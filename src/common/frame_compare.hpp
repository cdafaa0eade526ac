// Comparison of two RGBA frames of the same size, the one test every presenter
// uses to find what changed since the frame it showed last.
#pragma once

#include <cstdint>
#include <span>

namespace facetview {

inline constexpr std::size_t rgba_bytes_per_pixel = 4;

// A rectangle of pixels within a frame.
struct PixelRect {
  std::uint32_t x = 0;
  std::uint32_t y = 0;
  std::uint32_t width = 0;
  std::uint32_t height = 0;
};

// Whether frame_size is exactly width x height RGBA pixels, without overflow.
bool rgba_frame_size_matches(std::size_t frame_size, std::uint32_t width, std::uint32_t height);

// Whether the rectangle's pixels differ between frame and previous, both
// frame_width pixels per row and holding the whole rectangle; compared row by
// row up to the first differing row.
bool pixels_differ(std::span<const std::uint8_t> frame, std::span<const std::uint8_t> previous,
                   std::uint32_t frame_width, PixelRect rect);

}  // namespace facetview
