// A sphere mesh for timing and exercising the renderer.
#pragma once

#include <cstdint>

#include "model/mesh.hpp"

namespace facetview::testing {

// A closed sphere of the given radius about the origin with `rings` bands of
// latitude and `segments` of longitude: 2 * segments * (rings - 1) triangles,
// wound counter-clockwise as seen from outside.
Mesh uv_sphere(std::uint32_t rings, std::uint32_t segments, float radius);

}  // namespace facetview::testing
