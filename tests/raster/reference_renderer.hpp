// A deliberately plain renderer written straight from the description of the
// frame: every pixel and sample recomputed from scratch, no shortcuts. The
// tests hold the real renderer to it byte for byte.
#pragma once

#include <cstdint>
#include <vector>

#include "raster/camera.hpp"
#include "stl/mesh.hpp"

namespace facetview::testing {

struct ReferenceFrame {
  std::vector<std::uint8_t> rgba;
  std::vector<float> depth;
};

// n . v of the shading rule for view-space corners v[0..2] and eye distance D.
float reference_normal_dot_view(const Vec3 v[3], float D);

// For meshes and cameras with finite values and frames of at least 1 x 1.
ReferenceFrame reference_render(const Mesh& mesh, const Camera& camera, std::uint32_t width,
                                std::uint32_t height);

}  // namespace facetview::testing
