// Sixel images of a palette-indexed frame, enlarged by a whole scale on the
// way: each frame pixel becomes scale x scale screen pixels, without first
// building the enlarged image.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "sixel/palette.hpp"

namespace facetview {

// A frame of palette indices, width x height of them, row-major.
struct IndexedFrame {
  std::span<const std::uint8_t> indices;
  std::uint32_t width = 0;
  std::uint32_t height = 0;
};

// The part of the screen image to encode: screen rows top to top + height,
// columns 0 to width, where screen pixel (x, y) shows frame pixel
// (x / scale, y / scale). The caller keeps that inside the frame.
struct ScreenBand {
  std::uint32_t scale = 1;
  std::uint32_t top = 0;
  std::uint32_t width = 0;
  std::uint32_t height = 0;
};

// Appends one sixel image (DCS ... ST) of the band: 1:1 pixel aspect and its
// size in the raster attributes, the whole palette, then the pixels, six
// screen rows at a time with repeated columns run-length coded.
void append_sixel_image(std::string& out, const IndexedFrame& frame, std::span<const Rgb> palette,
                        const ScreenBand& band);

}  // namespace facetview
