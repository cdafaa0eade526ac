// The one flat colour of a triangle.
#pragma once

#include <array>

#include "model/mesh.hpp"
#include "model/vec3.hpp"
#include "raster/colour.hpp"
#include "raster/frame_values.hpp"

namespace facetview {

// Colour of the triangle with view-space corners `view` (X, Y, Z): diffuse light
// from a lamp fixed to the eye, a rim glow where the surface turns away from the
// eye, a warm-to-cool tint by height (or the face's own colour, where it has
// one) and a blend towards a constant with distance.
Rgba shade_triangle(const std::array<Vec3, 3>& view, const FrameValues& frame,
                    const FaceColour* base = nullptr);

// The colour of one triangle, shaded on first use: most triangles of a fine
// mesh cover no pixel centre and are never shaded at all.
class TriangleColour {
 public:
  TriangleColour(const std::array<Vec3, 3>& view, const FrameValues& frame,
                 const FaceColour* base = nullptr)
      : view_(view), frame_(frame), base_(base) {}

  Rgba get() {
    if (!shaded_) {
      colour_ = shade_triangle(view_, frame_, base_);
      shaded_ = true;
    }
    return colour_;
  }

 private:
  const std::array<Vec3, 3>& view_;
  const FrameValues& frame_;
  const FaceColour* base_;
  Rgba colour_{};
  bool shaded_ = false;
};

}  // namespace facetview
