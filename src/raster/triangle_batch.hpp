// Many mesh triangles at a time from model space to pixels.
#pragma once

#include <cstdint>
#include <span>

#include "model/mesh.hpp"
#include "raster/frame_values.hpp"
#include "raster/scan.hpp"

namespace facetview {

// Frame rows [first, end); empty when end <= first.
struct RowSpan {
  std::uint32_t first = 0;
  std::uint32_t end = 0;

  bool empty() const { return end <= first; }
  void include(std::uint32_t from, std::uint32_t to) {
    if (to <= from) return;
    if (empty()) {
      first = from, end = to;
    } else {
      first = from < first ? from : first;
      end = to > end ? to : end;
    }
  }
};

// Draws `triangles` in order, exactly as draw_triangle would one by one. The
// front end (steps 1 to 8 of triangle_pipeline.hpp) takes 8 triangles at a
// time where the processor has AVX2 and 4 elsewhere; the pixels are the same.
// `colours` is empty or holds each triangle's own base colour. Returns rows
// outside which no pixel was touched: the pixels written lie within them.
RowSpan draw_triangles(std::span<const Triangle> triangles, const FrameValues& frame,
                       const FrameBuffers& buffers, std::span<const FaceColour> colours = {});

}  // namespace facetview
