// Lines over a rendered frame: a mesh's creases, borders and silhouette.
#pragma once

#include "raster/frame_values.hpp"
#include "raster/mesh_edges.hpp"
#include "raster/scan.hpp"

namespace facetview {

// Dark enough to read on every shaded face.
inline constexpr Rgba kEdgeColour{16, 18, 22, 255};

// Draws the edges that show in this view one pixel wide over the frame the
// triangles left in `buffers`, where no surface lies in front of them. The
// depth buffer is read, not written. The frame is at least 1 x 1 pixels.
void draw_edge_overlay(const MeshEdges& edges, const FrameValues& frame,
                       const FrameBuffers& buffers);

}  // namespace facetview
