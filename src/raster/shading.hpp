// The one flat colour of a triangle.
#pragma once

#include <array>

#include "raster/colour.hpp"
#include "raster/frame_values.hpp"
#include "stl/vec3.hpp"

namespace facetview {

// Colour of the triangle with view-space corners `view` (X, Y, Z): diffuse light
// from a lamp fixed to the eye, a rim glow where the surface turns away from the
// eye, a warm-to-cool tint by height and a blend towards a constant with distance.
Rgba shade_triangle(const std::array<Vec3, 3>& view, const FrameValues& frame);

}  // namespace facetview
