// Meshes built for exercising the renderer.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "stl/mesh.hpp"

namespace facetview::testing {

// A mesh of the given corner triples, normals by the usual rule.
Mesh mesh_of(const std::vector<std::array<Vec3, 3>>& corners);

// A closed sphere of the given radius about the origin with `rings` bands of
// latitude and `segments` of longitude: 2 * segments * (rings - 1) triangles,
// wound counter-clockwise as seen from outside.
Mesh uv_sphere(std::uint32_t rings, std::uint32_t segments, float radius);

// `count` triangles with corners drawn uniformly from [-extent, extent]^3.
Mesh random_soup(std::uint32_t count, float extent, std::uint32_t seed);

}  // namespace facetview::testing
