// The edge overlay: creases where the projected edges lie, hidden ones left
// out, a smooth surface outlined without seams.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "raster/axis_triad.hpp"
#include "raster/edge_overlay.hpp"
#include "raster/renderer.hpp"
#include "scenes.hpp"
#include "sphere_mesh.hpp"

namespace facetview {
namespace {

using namespace testing;

bool edge_pixel(const Renderer& renderer, int x, int y) {
  if (x < 0 || y < 0 || x >= int(renderer.width()) || y >= int(renderer.height())) return false;
  const auto at = renderer.framebuffer().begin() + (std::size_t(y) * renderer.width() + x) * 4;
  return std::equal(kEdgeColour.begin(), kEdgeColour.end(), at);
}

bool edge_near(const Renderer& renderer, int x, int y) {
  for (int dy = -1; dy <= 1; ++dy) {
    for (int dx = -1; dx <= 1; ++dx) {
      if (edge_pixel(renderer, x + dx, y + dy)) return true;
    }
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
      const auto [ax, ay] = on_screen(camera, {from[0], from[1], from[2]}, w, h);
      const auto [bx, by] = on_screen(camera, {to[0], to[1], to[2]}, w, h);
      int shown = 0;
      for (int i = 2; i <= 8; ++i) {
        const double t = i / 10.0;
        const int x = int(std::floor(ax + t * (bx - ax))), y = int(std::floor(ay + t * (by - ay)));
        shown += visible ? edge_near(renderer, x, y) : edge_pixel(renderer, x, y);
      }
      SCOPED_TRACE("axis " + std::to_string(axis) + " signs " + std::to_string(signs));
      EXPECT_EQ(shown, visible ? 7 : 0);
    }
  }
  EXPECT_EQ(visible_edges, 9);
  // The diagonal that splits each face into two triangles is no edge.
  for (std::size_t face = 0; face < 6; ++face) {
    const Triangle& first = cube.triangles[2 * face];
    const auto [ax, ay] = on_screen(camera, first.vertices[0], w, h);
    const auto [bx, by] = on_screen(camera, first.vertices[2], w, h);
    for (int i = 3; i <= 7; ++i) {
      const double t = i / 10.0;
      EXPECT_FALSE(edge_pixel(renderer, int(std::floor(ax + t * (bx - ax))),
                              int(std::floor(ay + t * (by - ay)))))
          << "face " << face;
    }
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
  int outline = 0, outlined = 0;
  for (int y = 0; y < int(h); ++y) {
    for (int x = 0; x < int(w); ++x) {
      if (!covered(plain, x, y)) continue;
      bool border = false, deep_inside = true;
      for (int dy = -3; dy <= 3; ++dy) {
        for (int dx = -3; dx <= 3; ++dx) {
          const int nx = x + dx, ny = y + dy;
          const bool in =
              nx >= 0 && ny >= 0 && nx < int(w) && ny < int(h) && covered(plain, nx, ny);
          deep_inside &= in;
          if (std::abs(dx) + std::abs(dy) == 1) border |= !in;
        }
      }
      if (border) outline += 1, outlined += edge_near(edged, x, y);
      if (deep_inside) {
        ASSERT_FALSE(edge_pixel(edged, x, y)) << x << ", " << y;
      }
    }
  }
  EXPECT_GT(outline, 200);
  EXPECT_GE(outlined, outline * 95 / 100);
}

// The triad's arms point where the view turns the model's axes: seen
// straight on, X to the right and Y up; turned a quarter about Y, Z to the left.
TEST(AxisTriad, ArmsPointAlongTheTurnedAxes) {
  const std::uint32_t w = 200, h = 100;
  // Arm 9 and margin 4 pixels: the origin at (13, 87).
  const int origin_x = 13, origin_y = 87, reach = 7;
  struct Case {
    float yaw;
    int axis, dx, dy;
  };
  for (const Case c :
       {Case{0, 0, reach, 0}, Case{0, 1, 0, -reach}, Case{-1.5707964f, 2, -reach, 0}}) {
    Renderer renderer(w, h);
    renderer.render(Mesh{}, OrbitCamera{{}, 3.0f, 0.0f, c.yaw}, {.axis_triad = true});
    const auto at = renderer.framebuffer().begin() +
                    (std::size_t(origin_y + c.dy) * w + std::size_t(origin_x + c.dx)) * 4;
    EXPECT_TRUE(std::equal(kAxisColours[c.axis].begin(), kAxisColours[c.axis].end(), at))
        << "axis " << c.axis;
  }
}

}  // namespace
}  // namespace facetview
