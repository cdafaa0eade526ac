// The edge overlay: creases where the projected edges lie, hidden ones left
// out, a smooth surface outlined without seams.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <tuple>

#include "raster/axis_triad.hpp"
#include "raster/edge_overlay.hpp"
#include "raster/renderer.hpp"
#include "scenes.hpp"
#include "sphere_mesh.hpp"

namespace facetview {
namespace {

using namespace testing;

bool edge_pixel(const Renderer& renderer, int x, int y) {
  return x >= 0 && y >= 0 && x < int(renderer.width()) && y < int(renderer.height()) &&
         pixel_at(renderer, x, y) == kEdgeColour;
}

bool edge_near(const Renderer& renderer, int x, int y) {
  for (int k = 0; k < 9; ++k) {
    if (edge_pixel(renderer, x + k % 3 - 1, y + k / 3 - 1)) return true;
  }
  return false;
}

// Screen position of a model point, in double precision.
std::pair<double, double> on_screen(const OrbitCamera& c, Vec3 p, double w, double h) {
  const double x = p.x - c.target.x, y = p.y - c.target.y, z = p.z - c.target.z;
  const double x1 = x * std::cos(c.yaw) + z * std::sin(c.yaw);
  const double z1 = z * std::cos(c.yaw) - x * std::sin(c.yaw);
  const double y2 = y * std::cos(c.pitch) - z1 * std::sin(c.pitch);
  const double vz = y * std::sin(c.pitch) + z1 * std::cos(c.pitch);
  const double vx = x1 * std::cos(c.roll) - y2 * std::sin(c.roll);
  const double vy = x1 * std::sin(c.roll) + y2 * std::cos(c.roll);
  const double d = c.orthographic ? c.distance : c.distance - vz;
  return {w * (vx * 2.144507 / (w / h) / d * 0.5 + 0.5), h * (1 - (vy * 2.144507 / d * 0.5 + 0.5))};
}

// Whether the face with this outward normal faces the eye (its view z > 0).
bool faces_eye(const OrbitCamera& c, Vec3 n) {
  const double z1 = n.z * std::cos(c.yaw) - n.x * std::sin(c.yaw);
  return n.y * std::sin(c.pitch) + z1 * std::cos(c.pitch) > 0;
}

class CubeEdges : public ::testing::TestWithParam<bool> {};

TEST_P(CubeEdges, VisibleEdgesShowWhereTheyProjectHiddenOnesAndDiagonalsDoNot) {
  const float s = 0.6f;
  const Mesh cube = box_mesh({-s, -s, -s}, {s, s, s});
  // Off centre: the target moves the picture in either projection.
  const OrbitCamera camera{{0.1f, -0.05f, 0.0f}, 3.25f, 0.45f, -0.55f, 0.0f, GetParam()};
  const std::uint32_t w = 240, h = 160;
  Renderer renderer(w, h);
  renderer.render(cube, camera, {.edges = true});

  // How many of the points `first` to 10 - `first` tenths along a to b show an edge: on them
  // or, for `near`, next to them.
  const auto shown = [&](Vec3 a, Vec3 b, int first, bool near) {
    const auto [ax, ay] = on_screen(camera, a, w, h);
    const auto [bx, by] = on_screen(camera, b, w, h);
    int count = 0;
    for (int i = first; i <= 10 - first; ++i) {
      const int x = int(std::floor(ax + i / 10.0 * (bx - ax)));
      const int y = int(std::floor(ay + i / 10.0 * (by - ay)));
      count += near ? edge_near(renderer, x, y) : edge_pixel(renderer, x, y);
    }
    return count;
  };
  const Vec3 normals[6] = {{-1, 0, 0}, {1, 0, 0}, {0, -1, 0}, {0, 1, 0}, {0, 0, -1}, {0, 0, 1}};
  int visible_edges = 0;
  // Edges run along one axis; the two faces they join are across the other two.
  for (int axis = 0; axis < 3; ++axis) {
    for (int signs = 0; signs < 4; ++signs) {
      const int u = (axis + 1) % 3, v = (axis + 2) % 3;
      float from[3], to[3];
      from[axis] = -s, to[axis] = s;
      from[u] = to[u] = signs & 1 ? s : -s;
      from[v] = to[v] = signs & 2 ? s : -s;
      const bool visible = faces_eye(camera, normals[2 * u + (signs & 1)]) ||
                           faces_eye(camera, normals[2 * v + (signs & 2 ? 1 : 0)]);
      visible_edges += visible;
      EXPECT_EQ(shown({from[0], from[1], from[2]}, {to[0], to[1], to[2]}, 2, visible),
                visible ? 7 : 0)
          << "axis " << axis << " signs " << signs;
    }
  }
  EXPECT_EQ(visible_edges, 9);
  // The diagonal that splits each face into two triangles is no edge.
  for (std::size_t face = 0; face < 6; ++face) {
    const Triangle& first = cube.triangles[2 * face];
    EXPECT_EQ(shown(first.vertices[0], first.vertices[2], 3, false), 0) << "face " << face;
  }
}

INSTANTIATE_TEST_SUITE_P(Projections, CubeEdges, ::testing::Values(false, true));

// A sphere whose seam corners differ in the last bits: an outline all round
// and nothing inside it.
TEST(SphereEdges, OutlineWithoutSeams) {
  const Mesh sphere = uv_sphere(24, 36, 0.9f);
  const std::uint32_t w = 200, h = 140;
  const OrbitCamera camera{{0.1f, 0.05f, 0.0f}, 2.8f, 0.5f, 1.1f};
  Renderer plain(w, h), edged(w, h);
  plain.render(sphere, camera);
  edged.render(sphere, camera, {.edges = true});
  const auto in = [&](int x, int y) {
    return x >= 0 && y >= 0 && x < int(w) && y < int(h) && covered(plain, x, y);
  };
  int outline = 0, outlined = 0;
  for (int y = 0; y < int(h); ++y) {
    for (int x = 0; x < int(w); ++x) {
      if (!in(x, y)) continue;
      if (!in(x - 1, y) || !in(x + 1, y) || !in(x, y - 1) || !in(x, y + 1)) {
        outline += 1, outlined += edge_near(edged, x, y);
      }
      bool deep_inside = true;
      for (int k = 0; k < 49; ++k) deep_inside &= in(x + k % 7 - 3, y + k / 7 - 3);
      ASSERT_TRUE(!deep_inside || !edge_pixel(edged, x, y)) << x << ", " << y;
    }
  }
  EXPECT_GT(outline, 200);
  EXPECT_GE(outlined, outline * 95 / 100);
}

// The triad's arms point where the view turns the model's axes: seen
// straight on, X to the right and Y up; turned a quarter about Y, Z to the left.
TEST(AxisTriad, ArmsPointAlongTheTurnedAxes) {
  // Arm 9 and margin 4 pixels: the origin at (13, 87); a point 7 pixels along each arm.
  const int x = 13, y = 87, reach = 7;
  for (const auto& [yaw, axis, dx, dy] :
       {std::tuple{0.0f, 0, reach, 0}, {0.0f, 1, 0, -reach}, {-1.5707964f, 2, -reach, 0}}) {
    Renderer renderer(200, 100);
    renderer.render(Mesh{}, OrbitCamera{{}, 3.0f, 0.0f, yaw}, {.axis_triad = true});
    EXPECT_EQ(pixel_at(renderer, x + dx, y + dy), kAxisColours[axis]) << "axis " << axis;
  }
}

}  // namespace
}  // namespace facetview
