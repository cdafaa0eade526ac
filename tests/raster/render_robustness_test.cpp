// Hostile sizes and values: nothing may fault, and what can be drawn is drawn.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <new>
#include <random>
#include <string>

#include "allocation_counter.hpp"
#include "raster/renderer.hpp"
#include "reference_renderer.hpp"
#include "test_meshes.hpp"

namespace facetview {
namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

Renderer rendered(const Mesh& mesh, const Camera& camera, std::uint32_t width,
                  std::uint32_t height) {
  Renderer renderer(width, height);
  renderer.render(mesh, camera);
  return renderer;
}

TEST(RenderAllocation, AFrameOfUnchangedSizeAllocatesNothing) {
  Renderer renderer(160, 96);
  const Mesh mesh = testing::uv_sphere(20, 30, 1.0f);
  renderer.render(mesh, Camera{});
  const std::size_t before = testing::allocation_count();
  renderer.resize(160, 96);
  renderer.render(mesh, Camera{0.3f, 0.2f, 0.1f, 2.0f});
  EXPECT_EQ(testing::allocation_count(), before);
}

struct ZeroFrame {
  std::uint32_t width, height;
};

class ZeroSizedFrames : public ::testing::TestWithParam<ZeroFrame> {};

TEST_P(ZeroSizedFrames, RenderNothingAndDoNotFault) {
  const ZeroFrame size = GetParam();
  Renderer renderer(size.width, size.height);
  renderer.render(Mesh::demo_mesh(), Camera{});
  renderer.render(testing::random_soup(50, 2.0f, 5), Camera{});
  EXPECT_TRUE(renderer.framebuffer().empty());
  EXPECT_TRUE(renderer.depth().empty());
}

INSTANTIATE_TEST_SUITE_P(Sizes, ZeroSizedFrames,
                         ::testing::Values(ZeroFrame{0, 0}, ZeroFrame{0, 50}, ZeroFrame{50, 0},
                                           ZeroFrame{UINT32_MAX, 0}, ZeroFrame{0, UINT32_MAX}));

// Cameras with values the projection cannot use.
struct CameraCase {
  std::string name;
  Camera camera;
  bool draws_nothing;  // otherwise renders like the zoom bound it clamps to
  float equivalent_zoom;
};

void PrintTo(const CameraCase& c, std::ostream* out) {
  *out << c.name;
}

class NonFiniteCamera : public ::testing::TestWithParam<CameraCase> {};

TEST_P(NonFiniteCamera, LeavesTheBackgroundOrClamps) {
  const CameraCase& c = GetParam();
  const Renderer renderer = rendered(Mesh::demo_mesh(), c.camera, 64, 48);
  Camera expected_camera = c.camera;
  expected_camera.zoom = c.equivalent_zoom;
  const Renderer expected =
      rendered(c.draws_nothing ? Mesh{} : Mesh::demo_mesh(), expected_camera, 64, 48);
  EXPECT_EQ(renderer.framebuffer(), expected.framebuffer());
  EXPECT_EQ(renderer.depth(), expected.depth());
}

INSTANTIATE_TEST_SUITE_P(
    Values, NonFiniteCamera,
    ::testing::Values(CameraCase{"nan_pitch", {kNaN, -0.55f, 0.0f, 1.0f}, true, 1.0f},
                      CameraCase{"nan_yaw", {0.45f, kNaN, 0.0f, 1.0f}, true, 1.0f},
                      CameraCase{"nan_roll", {0.45f, -0.55f, kNaN, 1.0f}, true, 1.0f},
                      CameraCase{"inf_pitch", {kInf, -0.55f, 0.0f, 1.0f}, true, 1.0f},
                      CameraCase{"minus_inf_yaw", {0.45f, -kInf, 0.0f, 1.0f}, true, 1.0f},
                      CameraCase{"inf_roll", {0.45f, -0.55f, kInf, 1.0f}, true, 1.0f},
                      CameraCase{"nan_zoom", {0.45f, -0.55f, 0.0f, kNaN}, true, 1.0f},
                      CameraCase{"inf_zoom", {0.45f, -0.55f, 0.0f, kInf}, false, 2.5f},
                      CameraCase{"minus_inf_zoom", {0.45f, -0.55f, 0.0f, -kInf}, false, 0.45f},
                      CameraCase{"huge_angles", {3e38f, -3e38f, 1e30f, 1.0f}, false, 1.0f}),
    [](const auto& info) { return info.param.name; });

// A triangle with a non-finite coordinate, put in the middle of the demo hull,
// draws nothing and leaves the hull as it was.
struct VertexCase {
  std::string name;
  float value;
  int corner, axis;
};

void PrintTo(const VertexCase& c, std::ostream* out) {
  *out << c.name;
}

class NonFiniteVertex : public ::testing::TestWithParam<VertexCase> {};

TEST_P(NonFiniteVertex, DrawsNothingAndSparesTheRest) {
  const VertexCase& c = GetParam();
  // A triangle that covers the middle of the frame when finite.
  std::array<Vec3, 3> corners{{{-0.5f, -0.5f, 0.9f}, {0.5f, -0.5f, 0.9f}, {0.0f, 0.5f, 0.9f}}};
  float* coordinates[3] = {&corners[c.corner].x, &corners[c.corner].y, &corners[c.corner].z};
  *coordinates[c.axis] = c.value;
  Mesh hostile = Mesh::demo_mesh();
  hostile.triangles.insert(hostile.triangles.begin() + 6,
                           make_triangle({}, corners[0], corners[1], corners[2]));
  for (const Camera camera : {Camera{0.0f, 0.0f, 0.0f, 1.0f}, Camera{}}) {
    const Renderer renderer = rendered(hostile, camera, 80, 60);
    const Renderer expected = rendered(Mesh::demo_mesh(), camera, 80, 60);
    EXPECT_EQ(renderer.framebuffer(), expected.framebuffer());
    EXPECT_EQ(renderer.depth(), expected.depth());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Values, NonFiniteVertex,
    ::testing::Values(VertexCase{"nan_x", kNaN, 0, 0}, VertexCase{"nan_y", kNaN, 1, 1},
                      VertexCase{"nan_z", kNaN, 2, 2}, VertexCase{"inf_x", kInf, 1, 0},
                      VertexCase{"minus_inf_x", -kInf, 0, 0}, VertexCase{"inf_y", kInf, 2, 1},
                      VertexCase{"minus_inf_z", -kInf, 2, 2}, VertexCase{"max_y", 3.4e38f, 0, 1}),
    [](const auto& info) { return info.param.name; });

// Huge but finite corners: coordinates far outside the frame, products that
// overflow to infinity. Every depth written must still be a real depth.
TEST(HugeCoordinates, StayInsideTheBuffers) {
  std::mt19937 engine(19);
  std::uniform_int_distribution<int> exponent(-30, 38);
  std::uniform_real_distribution<float> mantissa(-1.0f, 1.0f);
  std::vector<std::array<Vec3, 3>> corners(400);
  for (auto& triangle : corners) {
    for (Vec3& v : triangle) {
      v = {std::ldexp(mantissa(engine), exponent(engine) / 4),
           std::ldexp(mantissa(engine), exponent(engine) / 4),
           std::ldexp(mantissa(engine), exponent(engine) / 4)};
    }
  }
  corners.push_back({{{-1e30f, -1e30f, 0.0f}, {1e30f, -1e30f, 0.0f}, {0.0f, 1e30f, 0.0f}}});
  corners.push_back({{{-3e38f, -3e38f, 0.0f}, {3e38f, -3e38f, 0.0f}, {0.0f, 3e38f, 0.0f}}});
  const Renderer renderer =
      rendered(testing::mesh_of(corners), Camera{0.0f, 0.0f, 0.0f, 2.5f}, 50, 40);
  for (float depth : renderer.depth()) EXPECT_TRUE(depth == kInf || depth > 0.0f) << depth;
  for (std::size_t i = 3; i < renderer.framebuffer().size(); i += 4) {
    EXPECT_EQ(renderer.framebuffer()[i], 255);
  }
}

// When the normal and the direction to the eye are parallel their rounded dot
// product can exceed 1; such a triangle keeps its proper colour instead of
// turning black.
TEST(RimTerm, ParallelNormalAndViewStayLit) {
  std::mt19937 engine(23);
  std::uniform_real_distribution<float> offset(-0.6f, 0.6f);
  const float eye = 3.25f;
  std::size_t found = 0;
  for (int attempt = 0; attempt < 4000 && found < 5; ++attempt) {
    // An equilateral triangle about a centroid m, in the plane square to the
    // line from m to the eye.
    const Vec3 m{offset(engine), offset(engine), offset(engine)};
    double u[3] = {-m.x, -m.y, eye - m.z};
    const double u_len = std::sqrt(u[0] * u[0] + u[1] * u[1] + u[2] * u[2]);
    for (double& c : u) c /= u_len;
    double e1[3] = {u[2], 0.0, -u[0]};
    const double e1_len = std::sqrt(e1[0] * e1[0] + e1[2] * e1[2]);
    for (double& c : e1) c /= e1_len;
    const double e2[3] = {u[1] * e1[2] - u[2] * e1[1], u[2] * e1[0] - u[0] * e1[2],
                          u[0] * e1[1] - u[1] * e1[0]};
    std::array<Vec3, 3> corners;
    for (int k = 0; k < 3; ++k) {
      const double angle = 2.0943951023931953 * k;
      const double cs = 0.3 * std::cos(angle), sn = 0.3 * std::sin(angle);
      corners[k] = {static_cast<float>(m.x + cs * e1[0] + sn * e2[0]),
                    static_cast<float>(m.y + cs * e1[1] + sn * e2[1]),
                    static_cast<float>(m.z + cs * e1[2] + sn * e2[2])};
    }
    if (testing::reference_normal_dot_view(corners.data(), eye) <= 1.0f) continue;
    ++found;
    const Mesh mesh = testing::mesh_of({corners});
    const Camera camera{0.0f, 0.0f, 0.0f, 1.0f};
    const Renderer renderer = rendered(mesh, camera, 64, 48);
    const testing::ReferenceFrame expected = testing::reference_render(mesh, camera, 64, 48);
    EXPECT_EQ(renderer.framebuffer(), expected.rgba);
    bool lit = false;
    for (std::size_t i = 0; i < renderer.depth().size(); ++i) {
      if (renderer.depth()[i] == kInf) continue;
      lit = lit || renderer.framebuffer()[i * 4] != 0;
    }
    EXPECT_TRUE(lit);
  }
  EXPECT_GT(found, 0u) << "no triangle with n.v above 1 was found";
}

// Frames wider than 2^24 pixels, where W - 1 as a float rounds up to W: a
// triangle across the right edge must stop at the last column.
TEST(WideFrame, LastColumnStaysInsideTheBuffers) {
  const std::uint32_t width = (1u << 24) + 4;
  Renderer renderer(width, 1);
  const float d = 3.25f;
  const float aspect = static_cast<float>(width);
  const auto x_for = [&](float ndc) { return ndc * aspect * d / 2.144507f; };
  const Mesh mesh = testing::mesh_of(
      {{{{x_for(0.999f), -3.0f, 0.0f}, {x_for(1.5f), -3.0f, 0.0f}, {x_for(0.999f), 3.0f, 0.0f}}}});
  renderer.render(mesh, Camera{0.0f, 0.0f, 0.0f, 1.0f});
  EXPECT_LT(renderer.depth()[width - 1], kInf);
  EXPECT_EQ(renderer.depth()[0], kInf);
}

}  // namespace
}  // namespace facetview
