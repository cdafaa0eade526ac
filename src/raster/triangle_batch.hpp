// Many mesh triangles at a time from model space to pixels.
#pragma once

#include <span>

#include "model/mesh.hpp"
#include "raster/frame_values.hpp"
#include "raster/scan.hpp"

namespace facetview {

// Draws `triangles` in order, exactly as draw_triangle would one by one. The
// front end (steps 1 to 8 of triangle_pipeline.hpp) takes 8 triangles at a
// time where the processor has AVX2 and 4 elsewhere; the pixels are the same.
void draw_triangles(std::span<const Triangle> triangles, const FrameValues& frame,
                    const FrameBuffers& buffers);

}  // namespace facetview
