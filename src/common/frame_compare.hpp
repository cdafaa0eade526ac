// Comparison of two RGBA frames of the same size, the one test every presenter
// uses to find what changed since the frame it showed last.
#pragma once

#include <cstdint>
#include <span>

#include "common/error.hpp"
#include "common/rgba.hpp"

namespace facetview {

// A rectangle of pixels within a frame.
struct PixelRect {
  std::uint32_t x = 0;
  std::uint32_t y = 0;
  std::uint32_t width = 0;
  std::uint32_t height = 0;
};

// Fails unless frame_size is exactly width x height RGBA pixels, computed
// without overflow: presenters cut the frame by its width and height.
Status check_frame_size(std::size_t frame_size, std::uint32_t width, std::uint32_t height);

// Whether the rectangle's pixels differ between frame and previous, both
// frame_width pixels per row and holding the whole rectangle; compared row by
// row up to the first differing row.
bool pixels_differ(std::span<const std::uint8_t> frame, std::span<const std::uint8_t> previous,
                   std::uint32_t frame_width, PixelRect rect);

// Copies the rectangle's pixels of frame to the same place in copy, both
// frame_width pixels per row and holding the whole rectangle.
void copy_pixels(std::span<const std::uint8_t> frame, std::span<std::uint8_t> copy,
                 std::uint32_t frame_width, PixelRect rect);

}  // namespace facetview
