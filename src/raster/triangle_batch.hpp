// Many mesh triangles at a time from model space to pixels.
#pragma once

#include <span>

#include "model/mesh.hpp"
#include "raster/frame_values.hpp"
#include "raster/scan.hpp"

namespace facetview {

// How many triangles go through the front end (view transform, near limit,
// facing, projection) together. The pixels are the same either way:
// `automatic` takes 8 where the processor has AVX2 and 4 elsewhere, `four`
// pins the baseline, and `one` is the plain path of draw_triangle.
enum class FrontEndLanes { automatic, four, one };

// Draws `triangles` in order, exactly as draw_triangle would one by one;
// `colours` is empty or holds each triangle's own base colour.
void draw_triangles(std::span<const Triangle> triangles, const FrameValues& frame,
                    const FrameBuffers& buffers, FrontEndLanes lanes = FrontEndLanes::automatic,
                    std::span<const FaceColour> colours = {});

}  // namespace facetview
