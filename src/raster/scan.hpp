// Filling one projected triangle into the colour and depth buffers.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "raster/shading.hpp"

namespace facetview {

// A triangle in pixel space, ready to scan.
struct ScreenTriangle {
  std::array<float, 3> x;              // sx of V0, V1, V2
  std::array<float, 3> y;              // sy of V0, V1, V2
  std::array<float, 3> inverse_depth;  // 1 / d of each corner; d itself where linear_depth
  float doubled_area;                  // E: twice the signed area, never near zero here
  // Orthographic views: depth is affine on screen, so d is interpolated as it
  // is rather than through its reciprocal.
  bool linear_depth = false;
};

// Inclusive pixel rows and columns to scan; always inside the frame.
struct PixelBox {
  std::int32_t x_min, x_max, y_min, y_max;
};

// The colour and depth buffers of a width-pixel-wide frame.
struct FrameBuffers {
  std::span<std::uint8_t> rgba;
  std::span<float> depth;
  std::uint32_t width;
};

// Step 9 of triangle_pipeline.hpp: samples every pixel centre of `box`; a
// sample inside the triangle (edges included, either winding) whose
// perspective-correct depth is strictly below the stored one takes that depth
// and `colour`. Neighbouring samples go 8 at a time where the processor has
// AVX2 and 4 elsewhere; the pixels are the same.
void scan_triangle(const ScreenTriangle& triangle, const PixelBox& box, TriangleColour& colour,
                   const FrameBuffers& buffers);

// Boxes of at most this many columns and rows can have the samples inside
// the triangle found beforehand, many triangles at a time.
inline constexpr std::int32_t kKnownSamplesSide = 3;

// What scan_triangle does for a box of at most kKnownSamplesSide columns and
// rows whose samples inside the triangle (edges included, either winding) are
// already known: bit row * kKnownSamplesSide + column of `inside` for the
// sample at (x_min + column, y_min + row). Only those samples are visited.
void fill_known_samples(const ScreenTriangle& triangle, const PixelBox& box, std::uint32_t inside,
                        TriangleColour& colour, const FrameBuffers& buffers);

}  // namespace facetview
