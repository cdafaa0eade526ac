// Meshes the renderer's tests draw, and frames to compare bit for bit.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <utility>
#include <vector>

#include "model/mesh.hpp"
#include "raster/colour.hpp"
#include "raster/renderer.hpp"

namespace facetview::testing {

using Corners = std::array<Vec3, 3>;

inline Mesh mesh_of(const std::vector<Corners>& corners) {
  Mesh mesh;
  for (const auto& c : corners) mesh.triangles.push_back(make_triangle({}, c[0], c[1], c[2]));
  return mesh;
}

// `count` triangles with corners drawn uniformly from [-extent, extent]^3.
inline Mesh random_soup(std::uint32_t count, float extent, std::uint32_t seed) {
  std::mt19937 engine(seed);
  std::uniform_real_distribution<float> coord(-extent, extent);
  const auto point = [&] { return Vec3{coord(engine), coord(engine), coord(engine)}; };
  std::vector<Corners> corners(count);
  for (Corners& c : corners) c = {point(), point(), point()};
  return mesh_of(corners);
}

// Two triangles a, b, c and a, c, d: one face, counter-clockwise seen from
// the side it faces.
inline Mesh quad(Vec3 a, Vec3 b, Vec3 c, Vec3 d) {
  return mesh_of({{a, b, c}, {a, c, d}});
}

// The box from `low` to `high`, its faces turned outwards.
inline Mesh box_mesh(Vec3 low, Vec3 high) {
  const auto corner = [&](int i) {
    return Vec3{i & 1 ? high.x : low.x, i & 2 ? high.y : low.y, i & 4 ? high.z : low.z};
  };
  // Corners of each face, counter-clockwise from outside.
  const int faces[6][4] = {{0, 4, 6, 2}, {1, 3, 7, 5}, {0, 1, 5, 4},
                           {2, 6, 7, 3}, {0, 2, 3, 1}, {4, 5, 7, 6}};
  std::vector<Corners> corners;
  for (const auto& f : faces) {
    corners.push_back({corner(f[0]), corner(f[1]), corner(f[2])});
    corners.push_back({corner(f[0]), corner(f[2]), corner(f[3])});
  }
  return mesh_of(corners);
}

inline Renderer rendered(const Mesh& mesh, const AnyCamera& camera, std::uint32_t w,
                         std::uint32_t h) {
  Renderer renderer(w, h);
  renderer.render(mesh, camera);
  return renderer;
}

inline Rgba pixel_at(const Renderer& renderer, std::uint32_t x, std::uint32_t y) {
  const auto at = renderer.framebuffer().begin() + (std::size_t{y} * renderer.width() + x) * 4;
  return {at[0], at[1], at[2], at[3]};
}

inline bool covered(const Renderer& renderer, std::uint32_t x, std::uint32_t y) {
  return std::isfinite(renderer.depth()[std::size_t{y} * renderer.width() + x]);
}

// Colour and depth of a frame.
using Frame = std::pair<std::vector<std::uint8_t>, std::vector<float>>;

inline Frame frame_of(const Renderer& renderer) {
  return {renderer.framebuffer(), renderer.depth()};
}

inline bool same_bits(const Frame& a, const Frame& b) {
  return a.first == b.first && a.second.size() == b.second.size() &&
         std::memcmp(a.second.data(), b.second.data(), a.second.size() * sizeof(float)) == 0;
}

}  // namespace facetview::testing
