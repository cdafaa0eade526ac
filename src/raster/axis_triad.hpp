// Which way the model's axes point: a small triad in a corner of the frame.
#pragma once

#include "raster/frame_values.hpp"
#include "raster/scan.hpp"

namespace facetview {

inline constexpr Rgba kAxisColours[3] = {
    {230, 70, 60, 255},   // X, red
    {90, 205, 80, 255},   // Y, green
    {80, 135, 245, 255},  // Z, blue
};

// Draws the model's X, Y and Z axes as turned by the view, from one point near
// the bottom-left corner, over whatever the frame holds and without depth; the
// axis pointing farthest away first. The frame is at least 1 x 1 pixels.
void draw_axis_triad(const FrameValues& frame, const FrameBuffers& buffers);

}  // namespace facetview
