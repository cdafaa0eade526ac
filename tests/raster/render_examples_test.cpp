// Single frames whose pixels are known in advance.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <numbers>
#include <vector>

#include "raster/colour.hpp"
#include "raster/renderer.hpp"
#include "test_meshes.hpp"

namespace facetview {
namespace {

using testing::mesh_of;

constexpr float kInf = std::numeric_limits<float>::infinity();

Rgba pixel_at(const Renderer& renderer, std::uint32_t x, std::uint32_t y) {
  const std::size_t at = (std::size_t{y} * renderer.width() + x) * 4;
  const auto& fb = renderer.framebuffer();
  return {fb[at], fb[at + 1], fb[at + 2], fb[at + 3]};
}

float depth_at(const Renderer& renderer, std::uint32_t x, std::uint32_t y) {
  return renderer.depth()[std::size_t{y} * renderer.width() + x];
}

Renderer rendered(const Mesh& mesh, const Camera& camera, std::uint32_t width,
                  std::uint32_t height) {
  Renderer renderer(width, height);
  renderer.render(mesh, camera);
  return renderer;
}

Camera straight_on(float zoom = 1.0f) {
  return Camera{0.0f, 0.0f, 0.0f, zoom};
}

const Mesh& worked_triangle() {
  static const Mesh mesh =
      mesh_of({{{{-0.5f, -0.5f, 0.0f}, {0.5f, -0.5f, 0.0f}, {0.0f, 0.5f, 0.0f}}}});
  return mesh;
}

struct BackgroundProbe {
  std::uint32_t width, height, x, y;
  Rgba expected;
};

class BackgroundPixels : public ::testing::TestWithParam<BackgroundProbe> {};

TEST_P(BackgroundPixels, MatchTheGradient) {
  const BackgroundProbe probe = GetParam();
  const Renderer renderer = rendered(Mesh{}, Camera{}, probe.width, probe.height);
  EXPECT_EQ(pixel_at(renderer, probe.x, probe.y), probe.expected);
  for (float depth : renderer.depth()) EXPECT_EQ(depth, kInf);
}

INSTANTIATE_TEST_SUITE_P(Gradient, BackgroundPixels,
                         ::testing::Values(BackgroundProbe{1, 1, 0, 0, {7, 12, 18, 255}},
                                           BackgroundProbe{100, 50, 0, 0, {7, 12, 18, 255}},
                                           BackgroundProbe{3, 977, 0, 0, {7, 12, 18, 255}},
                                           BackgroundProbe{100, 50, 50, 21, {39, 35, 36, 255}},
                                           BackgroundProbe{100, 50, 0, 49, {19, 12, 11, 255}}));

// The worked triangle straight on, under several zooms: every covered pixel
// has one colour and the depth of the eye's distance.
struct WorkedCase {
  const char* name;
  float zoom;
  Rgba colour;
  float depth;
};

class WorkedTriangle : public ::testing::TestWithParam<WorkedCase> {};

TEST_P(WorkedTriangle, FillsWithOneColourAtTheEyeDistance) {
  const WorkedCase c = GetParam();
  const Renderer renderer = rendered(worked_triangle(), straight_on(c.zoom), 100, 100);
  const Renderer background = rendered(Mesh{}, Camera{}, 100, 100);
  EXPECT_EQ(pixel_at(renderer, 50, 50), c.colour);
  EXPECT_FLOAT_EQ(depth_at(renderer, 50, 50), c.depth);
  std::size_t covered = 0;
  for (std::uint32_t y = 0; y < 100; ++y) {
    for (std::uint32_t x = 0; x < 100; ++x) {
      if (depth_at(renderer, x, y) == kInf) {
        EXPECT_EQ(pixel_at(renderer, x, y), pixel_at(background, x, y)) << x << "," << y;
      } else {
        ++covered;
        EXPECT_EQ(pixel_at(renderer, x, y), c.colour) << x << "," << y;
        EXPECT_NEAR(depth_at(renderer, x, y), c.depth, 1e-5f) << x << "," << y;
      }
    }
  }
  EXPECT_GT(covered, 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Zooms, WorkedTriangle,
    ::testing::Values(WorkedCase{"unit", 1.0f, {70, 75, 79, 255}, 3.25f},
                      WorkedCase{"tenth", 0.1f, {78, 82, 85, 255}, 3.25f / 0.45f},
                      WorkedCase{"zero", 0.0f, {78, 82, 85, 255}, 3.25f / 0.45f},
                      WorkedCase{"negative", -4.0f, {78, 82, 85, 255}, 3.25f / 0.45f},
                      WorkedCase{"ten", 10.0f, {59, 65, 70, 255}, 1.3f}),
    [](const auto& info) { return info.param.name; });

// Corners at (33.504, 66.496), (66.496, 66.496) and (50, 33.504): the pixel
// centres inside run from 34.5 to 65.5 across and from 35.5 to 65.5 down.
TEST(WorkedTriangleExtent, CoversExactlyTheCentresInsideItsProjection) {
  const Renderer renderer = rendered(worked_triangle(), straight_on(), 100, 100);
  std::uint32_t min_x = 100, max_x = 0, min_y = 100, max_y = 0;
  for (std::uint32_t y = 0; y < 100; ++y) {
    for (std::uint32_t x = 0; x < 100; ++x) {
      if (depth_at(renderer, x, y) == kInf) continue;
      min_x = std::min(min_x, x), max_x = std::max(max_x, x);
      min_y = std::min(min_y, y), max_y = std::max(max_y, y);
    }
  }
  EXPECT_EQ(min_x, 34u);
  EXPECT_EQ(max_x, 65u);
  EXPECT_EQ(min_y, 35u);  // row 34 is narrower than a pixel: [49.502, 50.498]
  EXPECT_EQ(max_y, 65u);
  EXPECT_EQ(depth_at(renderer, 50, 20), kInf);
}

// Zooms outside [0.45, 2.5] render exactly like the nearest bound.
struct ZoomClamp {
  float zoom, bound;
};

class ZoomClamps : public ::testing::TestWithParam<ZoomClamp> {};

TEST_P(ZoomClamps, RenderLikeTheBound) {
  const ZoomClamp c = GetParam();
  const Camera tilted{0.3f, 0.9f, 0.1f, c.zoom};
  const Camera bound{0.3f, 0.9f, 0.1f, c.bound};
  const Renderer clamped = rendered(Mesh::demo_mesh(), tilted, 64, 48);
  const Renderer expected = rendered(Mesh::demo_mesh(), bound, 64, 48);
  EXPECT_EQ(clamped.framebuffer(), expected.framebuffer());
  EXPECT_EQ(clamped.depth(), expected.depth());
}

INSTANTIATE_TEST_SUITE_P(Bounds, ZoomClamps,
                         ::testing::Values(ZoomClamp{0.1f, 0.45f}, ZoomClamp{0.0f, 0.45f},
                                           ZoomClamp{-1.0f, 0.45f}, ZoomClamp{-kInf, 0.45f},
                                           ZoomClamp{10.0f, 2.5f}, ZoomClamp{kInf, 2.5f}));

// Triangles that must leave the frame exactly as the background.
struct Rejection {
  const char* name;
  Mesh mesh;
  Camera camera;
};

class Rejected : public ::testing::TestWithParam<Rejection> {};

TEST_P(Rejected, DrawNothing) {
  const Rejection& c = GetParam();
  const Renderer renderer = rendered(c.mesh, c.camera, 100, 100);
  const Renderer background = rendered(Mesh{}, c.camera, 100, 100);
  EXPECT_EQ(renderer.framebuffer(), background.framebuffer());
  EXPECT_EQ(renderer.depth(), background.depth());
}

// The nearest z to the eye at 3.25 whose view depth is still <= 0.1. (Depths
// there are multiples of 2^-22, so 0.1 itself cannot be hit exactly.)
float z_at_near_limit() {
  float z = 3.25f - 0.1f;
  while (3.25f - z <= 0.1f) z = std::nextafter(z, -kInf);
  while (3.25f - z > 0.1f) z = std::nextafter(z, kInf);
  return z;
}

const Vec3 kA{-0.5f, -0.5f, 0.0f}, kB{0.5f, -0.5f, 0.0f}, kC{0.0f, 0.5f, 0.0f};

INSTANTIATE_TEST_SUITE_P(
    Culling, Rejected,
    ::testing::Values(
        Rejection{"clockwise", mesh_of({{{kA, kC, kB}}}), straight_on()},
        Rejection{"turned_away", mesh_of({{{kA, kB, kC}}}),
                  Camera{0.0f, std::numbers::pi_v<float>, 0.0f, 1.0f}},
        Rejection{"edge_on",
                  mesh_of({{{{0.0f, -0.5f, -0.5f}, {0.0f, -0.5f, 0.5f}, {0.0f, 0.5f, 0.0f}}}}),
                  straight_on()},
        Rejection{"at_near_limit", mesh_of({{{kA, kB, {0.0f, 0.5f, z_at_near_limit()}}}}),
                  straight_on()},
        Rejection{"behind_eye",
                  mesh_of({{{{-0.5f, -0.5f, 5.0f}, {0.5f, -0.5f, 5.0f}, {0.0f, 0.5f, 5.0f}}}}),
                  straight_on()},
        // Front-facing, but all three on one ray plane through the eye: at view
        // depths 2, 1 and 4 their x / d is exactly 0.25, so sx is equal.
        Rejection{"collinear_on_screen",
                  mesh_of({{{{0.5f, -0.5f, 1.25f}, {1.0f, 0.0f, -0.75f}, {0.25f, 0.5f, 2.25f}}}}),
                  straight_on()},
        Rejection{"tiny_area",
                  mesh_of({{{{0.0f, 0.0f, 0.0f}, {1e-4f, 0.0f, 0.0f}, {0.0f, 1e-4f, 0.0f}}}}),
                  straight_on()},
        Rejection{"left_of_frame",
                  mesh_of({{{{-9.0f, -0.5f, 0.0f}, {-8.0f, -0.5f, 0.0f}, {-8.5f, 0.5f, 0.0f}}}}),
                  straight_on()},
        Rejection{"right_of_frame",
                  mesh_of({{{{8.0f, -0.5f, 0.0f}, {9.0f, -0.5f, 0.0f}, {8.5f, 0.5f, 0.0f}}}}),
                  straight_on()},
        Rejection{"above_frame",
                  mesh_of({{{{-0.5f, 8.0f, 0.0f}, {0.5f, 8.0f, 0.0f}, {0.0f, 9.0f, 0.0f}}}}),
                  straight_on()},
        Rejection{"below_frame",
                  mesh_of({{{{-0.5f, -9.0f, 0.0f}, {0.5f, -9.0f, 0.0f}, {0.0f, -8.0f, 0.0f}}}}),
                  straight_on()}),
    [](const auto& info) { return info.param.name; });

TEST(NearLimit, JustBeyondItStillDraws) {
  const float z = std::nextafter(z_at_near_limit(), -kInf);
  ASSERT_GT(3.25f - z, 0.1f);
  const Renderer renderer =
      rendered(mesh_of({{{kA, kB, {0.0f, 0.5f, z}}}}), straight_on(), 100, 100);
  EXPECT_LT(depth_at(renderer, 50, 60), kInf);
}

// Two triangles sharing the edge x = 0, which lands exactly on the pixel
// centres of column 50 of a 101-pixel-wide frame. The parameter turns the
// corner order so that the shared edge lies opposite each corner in turn.
class SharedEdge : public ::testing::TestWithParam<int> {};

std::array<Vec3, 3> turned(std::array<Vec3, 3> corners, int turns) {
  std::rotate(corners.begin(), corners.begin() + turns, corners.end());
  return corners;
}

TEST_P(SharedEdge, IsCoveredByBothAndTiesGoToTheEarlierTriangle) {
  const Vec3 bottom{0.0f, -0.6f, 0.0f}, top{0.0f, 0.6f, 0.0f};
  const std::array<Vec3, 3> left = turned({{bottom, top, {-0.7f, 0.1f, 0.0f}}}, GetParam());
  const std::array<Vec3, 3> right = turned({{top, bottom, {0.5f, -0.2f, 0.0f}}}, GetParam());
  const Renderer left_only = rendered(mesh_of({left}), straight_on(), 101, 80);
  const Renderer right_only = rendered(mesh_of({right}), straight_on(), 101, 80);
  const Renderer left_first = rendered(mesh_of({left, right}), straight_on(), 101, 80);
  const Renderer right_first = rendered(mesh_of({right, left}), straight_on(), 101, 80);
  ASSERT_NE(pixel_at(left_only, 50, 40), pixel_at(right_only, 50, 40));

  std::size_t shared = 0, ties = 0;
  for (std::uint32_t y = 0; y < 80; ++y) {
    const float left_depth = depth_at(left_only, 50, y);
    const float right_depth = depth_at(right_only, 50, y);
    EXPECT_EQ(left_depth == kInf, right_depth == kInf) << "row " << y;
    if (left_depth == kInf) continue;
    ++shared;
    ties += left_depth == right_depth;
    const Rgba left_colour = pixel_at(left_only, 50, y);
    const Rgba right_colour = pixel_at(right_only, 50, y);
    const Rgba nearer = left_depth < right_depth ? left_colour : right_colour;
    EXPECT_EQ(pixel_at(left_first, 50, y), left_depth == right_depth ? left_colour : nearer)
        << "row " << y;
    EXPECT_EQ(pixel_at(right_first, 50, y), left_depth == right_depth ? right_colour : nearer)
        << "row " << y;
    EXPECT_EQ(depth_at(left_first, 50, y), std::min(left_depth, right_depth));
  }
  EXPECT_GT(shared, 10u);
  EXPECT_GT(ties, 0u);
}

INSTANTIATE_TEST_SUITE_P(CornerOrders, SharedEdge, ::testing::Values(0, 1, 2));

// A triangle reaching past the left edge fills only the columns inside.
TEST(PartlyVisible, FillsOnlyItsInsidePart) {
  const Mesh mesh = mesh_of({{{{-3.0f, -0.5f, 0.0f}, {0.5f, -0.5f, 0.0f}, {0.0f, 0.5f, 0.0f}}}});
  const Renderer renderer = rendered(mesh, straight_on(), 100, 100);
  EXPECT_LT(depth_at(renderer, 0, 64), kInf);
  EXPECT_EQ(depth_at(renderer, 0, 30), kInf);
  EXPECT_EQ(pixel_at(renderer, 0, 64), pixel_at(renderer, 40, 64));
}

}  // namespace
}  // namespace facetview
