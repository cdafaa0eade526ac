// One mesh triangle from model space to pixels.
#pragma once

#include "model/mesh.hpp"
#include "raster/frame_values.hpp"
#include "raster/scan.hpp"

namespace facetview {

// Triangles whose doubled screen area is at most this draw nothing.
inline constexpr float kMinimumDoubledArea = 0.0001f;

// The steps of one triangle, in order. Every path (draw_triangle here, the
// lane-parallel front end of triangle_batch.hpp, the scan of scan.hpp) does the
// same float operations in the same order and names them by these numbers.
//  1. View transform of each corner: yaw about Y, then pitch about X, then roll
//     about Z (to_view_space); the view depth d = D - Z of each corner.
//  2. Near rejection: a corner with d <= kNearLimit drops the triangle, unless
//     the frame clips: then draw_near_clipped draws the part beyond the limit.
//  3. Facing: nz = (X1 - X0)(Y2 - Y0) - (Y1 - Y0)(X2 - X0) <= 0 drops the
//     triangle, so only corners running counter-clockwise from the eye draw.
//  4. Colour: shade_triangle, one flat colour, computed when a sample first
//     needs it.
//  5. Projection: sx = W (X F / aspect / d * 0.5 + 0.5), sy = H (1 - (Y F / d
//     * 0.5 + 0.5)), with d the eye's distance to the target for orthographic
//     frames; non-finite coordinates drop the triangle.
//  6. Screen rejection: all three sx < 0, or > W, or all sy < 0, or > H.
//  7. Bounding box: floor of the smallest and ceil of the largest sx and sy,
//     raised to 0 and lowered to the last pixel index.
//  8. Area: E = (sy1 - sy0)(sx2 - sx0) - (sx1 - sx0)(sy2 - sy0), twice the
//     signed screen area; |E| <= kMinimumDoubledArea drops the triangle.
//  9. Scan of the pixel centres (px, py) of the box, row by row:
//     9.1 edge values w_k of the edge from corner k + 1 to corner k + 2, whose
//         row part is computed once per row;
//     9.2 inside when all three w_k are >= 0 (E > 0) or all <= 0 (E < 0);
//         edges included, no fill rule;
//     9.3 weights w_k / E;
//     9.4 q, the weights times the reciprocal depths 1 / d_k (orthographic: the
//         depths d_k), summed in corner order; q <= 0 skips the sample;
//     9.5 the depth z = 1 / q (for orthographic frames, which interpolate the
//         depths themselves, z = q);
//     9.6 z strictly below the stored depth stores z and the colour, so on an
//         exact tie the earlier triangle keeps the pixel.
// The frame is at least 1 x 1 pixels. draw_triangle is the plain reference
// path, one step after the other; draw_triangles (triangle_batch.hpp) does the
// same for many triangles at a time.
void draw_triangle(const Triangle& triangle, const FrameValues& frame, const FrameBuffers& buffers);

// For frames that clip: draws the part at or beyond the near limit of a
// triangle that faces the eye, given its view-space corners and their view
// depths, in one or two pieces that share its flat colour.
void draw_near_clipped(const std::array<Vec3, 3>& view, const std::array<float, 3>& view_depth,
                       const FrameValues& frame, const FrameBuffers& buffers);

}  // namespace facetview
