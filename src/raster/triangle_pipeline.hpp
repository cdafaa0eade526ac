// One mesh triangle from model space to pixels.
#pragma once

#include "model/mesh.hpp"
#include "raster/frame_values.hpp"
#include "raster/scan.hpp"

namespace facetview {

// Triangles whose doubled screen area is at most this draw nothing.
inline constexpr float kMinimumDoubledArea = 0.0001f;

// Transforms, rejects, projects, shades and scans one triangle. Triangles that
// reach the near limit (unless the frame clips them), face away, lie wholly off one side of the
// frame, have a negligible screen area or project to non-finite coordinates draw nothing. The frame
// is at least 1 x 1 pixels. This is the plain reference path, one step after the other;
// draw_triangles (triangle_batch.hpp) does the same for many triangles at a time.
void draw_triangle(const Triangle& triangle, const FrameValues& frame, const FrameBuffers& buffers,
                   ScanLanes lanes = ScanLanes::automatic);

// For frames that clip: draws the part at or beyond the near limit of a
// triangle that faces the eye, given its view-space corners and their view
// depths, in one or two pieces that share its flat colour.
void draw_near_clipped(const std::array<Vec3, 3>& view, const std::array<float, 3>& view_depth,
                       const FrameValues& frame, const FrameBuffers& buffers,
                       ScanLanes lanes = ScanLanes::automatic);

}  // namespace facetview
