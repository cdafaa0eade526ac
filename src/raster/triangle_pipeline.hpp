// One mesh triangle from model space to pixels.
#pragma once

#include "raster/frame_values.hpp"
#include "raster/scan.hpp"
#include "stl/mesh.hpp"

namespace facetview {

// Transforms, rejects, projects, shades and scans one triangle. Triangles that
// reach the near limit, face away, lie wholly off one side of the frame, have a
// negligible screen area or project to non-finite coordinates draw nothing.
// The frame is at least 1 x 1 pixels.
void draw_triangle(const Triangle& triangle, const FrameValues& frame, const FrameBuffers& buffers,
                   ScanLanes lanes = ScanLanes::automatic);

}  // namespace facetview
