// The renderer against a plain reference, known pixels, sizing and hostile input.
// Built twice: as the processor allows (8 lanes with AVX2) and with the 4-lane
// baseline everywhere (FACETVIEW_SIMD_BASELINE), so both match the reference.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <new>
#include <numbers>
#include <random>
#include <string>
#include <tuple>
#include <variant>

#include "common/worker_pool.hpp"
#include "raster/frame_values.hpp"
#include "raster/renderer.hpp"
#include "raster/share_balance.hpp"
#include "raster/triangle_batch.hpp"
#include "raster/triangle_pipeline.hpp"
#include "scenes.hpp"
#include "sphere_mesh.hpp"

// Counts every operator new of this program; malloc and free pair on purpose.
static std::size_t allocations = 0;
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
  ++allocations;
  if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
  throw std::bad_alloc();
}
// The form std::stable_sort borrows its buffer with, freed by the delete below.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  ++allocations;
  return std::malloc(size == 0 ? 1 : size);
}
void operator delete(void* memory) noexcept {
  std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept {
  std::free(memory);
}

namespace facetview {
namespace {

using namespace testing;
constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
const Camera kStraight{0.0f, 0.0f, 0.0f, 1.0f};

// The worked triangle, moved by (dx, dy) and its apex by dz.
Corners worked(float dx = 0, float dy = 0, float dz = 0) {
  return {{{dx - 0.5f, dy - 0.5f, 0}, {dx + 0.5f, dy - 0.5f, 0}, {dx, dy + 0.5f, dz}}};
}

Vec3 unit(float x, float y, float z) {
  const float length = std::sqrt(x * x + y * y + z * z);
  return length <= 1.1920929e-7f ? Vec3{} : Vec3{x / length, y / length, z / length};
}

// Colour and depth; for finite meshes and cameras and frames of at least 1 x 1.
using Sizes = std::vector<std::pair<std::uint32_t, std::uint32_t>>;
Frame reference_render(const Mesh& mesh, const Camera& camera, std::uint32_t w, std::uint32_t h) {
  std::vector<std::uint8_t> rgba(std::size_t{w} * h * 4);
  std::vector<float> depth(std::size_t{w} * h, kInf);
  const auto put = [&](std::size_t k, float r, float g, float b) {
    k *= 4;
    for (const float c : {r, g, b}) rgba[k++] = std::uint8_t(std::clamp(c, 0.0f, 1.0f) * 255.0f);
    rgba[k] = 255;
  };
  const float W = float(w), H = float(h);
  for (std::uint32_t j = 0; j < h; ++j) {
    for (std::uint32_t i = 0; i < w; ++i) {
      const float t = float(j) / std::max(H, 1.0f), r2 = (t - 0.42f) * (t - 0.42f);
      const float p = std::pow(t, 1.25f), u = float(i) / std::max(W, 1.0f) - 0.5f;
      const float g1 = std::clamp(1.08f - (2.8f * r2 + 1.8f * (u * u)), 0.0f, 1.0f);
      const float g2 = std::clamp(1.0f - (8.5f * r2 + 6.0f * (u * u)), 0.0f, 1.0f);
      const float s = 0.35f * (g2 * g2), a = 0.45f * g1 + 0.55f;
      put(std::size_t{j} * w + i, a * (p * 0.14f + (1 - p) * 0.05f + s * 0.21f),
          a * (p * 0.09f + (1 - p) * 0.08f + s * 0.16f),
          a * (p * 0.08f + (1 - p) * 0.12f + s * 0.11f));
    }
  }
  const float aspect = W / std::max(H, 1.0f), D = 3.25f / std::clamp(camera.zoom, 0.45f, 2.5f);
  const float S = D + 1.5f, F = 2.144507f;
  for (const Triangle& tri : mesh.triangles) {
    Vec3 v[3];
    float d[3], sx[3], sy[3];
    for (int k = 0; k < 3; ++k) {
      const Vec3 p = tri.vertices[k];
      const float x1 = p.x * std::cos(camera.yaw) + p.z * std::sin(camera.yaw);
      const float z1 = p.z * std::cos(camera.yaw) - p.x * std::sin(camera.yaw);
      const float y2 = p.y * std::cos(camera.pitch) - z1 * std::sin(camera.pitch);
      v[k] = {x1 * std::cos(camera.roll) - y2 * std::sin(camera.roll),
              x1 * std::sin(camera.roll) + y2 * std::cos(camera.roll),
              p.y * std::sin(camera.pitch) + z1 * std::cos(camera.pitch)};
      d[k] = D - v[k].z;
    }
    const Vec3 a{v[1].x - v[0].x, v[1].y - v[0].y, v[1].z - v[0].z};
    const Vec3 b{v[2].x - v[0].x, v[2].y - v[0].y, v[2].z - v[0].z};
    if (d[0] <= 0.1f || d[1] <= 0.1f || d[2] <= 0.1f || a.x * b.y - a.y * b.x <= 0) continue;
    const Vec3 n = unit(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x);
    const Vec3 m{(v[0].x + v[1].x + v[2].x) / 3, (v[0].y + v[1].y + v[2].y) / 3,
                 (v[0].z + v[1].z + v[2].z) / 3};
    const Vec3 e = unit(-m.x, -m.y, D - m.z);
    const float diff = std::max(n.x * 0.5529668f + n.y * 0.7109573f + n.z * 0.4344739f, 0.0f);
    const float rim =
        std::pow(std::max(1 - std::max(n.x * e.x + n.y * e.y + n.z * e.z, 0.0f), 0.0f), 2.2f);
    const float hh = std::clamp(0.4f * m.y + 0.5f, 0.0f, 1.0f), l = 0.72f * diff + 0.22f;
    const float t = 1 - std::clamp((D - m.z) / S, 0.0f, 1.0f);
    const auto shade = [&](float high, float low, float rim_tint, float near) {
      return t * near + (1 - t) * ((hh * high + (1 - hh) * low) * l + 0.18f * rim * rim_tint);
    };
    for (int k = 0; k < 3; ++k) {
      sx[k] = W * (v[k].x * F / aspect / d[k] * 0.5f + 0.5f);
      sy[k] = H * (1.0f - (v[k].y * F / d[k] * 0.5f + 0.5f));
    }
    const auto [x_lo, x_hi] = std::minmax({sx[0], sx[1], sx[2]});
    const auto [y_lo, y_hi] = std::minmax({sy[0], sy[1], sy[2]});
    const float E = (sy[1] - sy[0]) * (sx[2] - sx[0]) - (sx[1] - sx[0]) * (sy[2] - sy[0]);
    if (x_hi < 0 || x_lo > W || y_hi < 0 || y_lo > H || std::fabs(E) <= 0.0001f) continue;
    const auto box = [](float v, float limit) { return int(std::fmin(std::fmax(v, 0), limit)); };
    for (int j = box(std::floor(y_lo), H - 1); j <= box(std::ceil(y_hi), H - 1); ++j) {
      for (int i = box(std::floor(x_lo), W - 1); i <= box(std::ceil(x_hi), W - 1); ++i) {
        const float px = float(i) + 0.5f, py = float(j) + 0.5f;
        const float w0 = (sy[2] - sy[1]) * (px - sx[1]) - (sx[2] - sx[1]) * (py - sy[1]);
        const float w1 = (sy[0] - sy[2]) * (px - sx[2]) - (sx[0] - sx[2]) * (py - sy[2]);
        const float w2 = (sy[1] - sy[0]) * (px - sx[0]) - (sx[1] - sx[0]) * (py - sy[0]);
        if (E > 0 ? (w0 < 0 || w1 < 0 || w2 < 0) : (w0 > 0 || w1 > 0 || w2 > 0)) continue;
        const float q = w0 / E * (1.0f / d[0]) + w1 / E * (1.0f / d[1]) + w2 / E * (1.0f / d[2]);
        const std::size_t k = std::size_t(j) * w + std::size_t(i);
        if (!(q > 0.0f && 1.0f / q < depth[k])) continue;
        depth[k] = 1.0f / q;
        put(k, shade(0.86f, 0.47f, 1.0f, 0.14f), shade(0.72f, 0.62f, 0.96f, 0.17f),
            shade(0.56f, 0.78f, 0.9f, 0.2f));
      }
    }
  }
  return {rgba, depth};
}

// The model coordinate (at z = 0, straight camera) whose projection in a
// w x h frame is `target`, exactly where some float projects there: the
// projection is monotone, so the walk from the estimate ends at it.
float model_coordinate_onto(float target, bool vertical, std::uint32_t w, std::uint32_t h) {
  const FrameValues f = make_frame_values(kStraight, w, h);
  const float d = f.distance;
  const auto project = [&](float v) {
    return vertical ? f.height * (1.0f - (v * f.focal / d * 0.5f + 0.5f))
                    : f.width * (v * f.focal / f.aspect / d * 0.5f + 0.5f);
  };
  float v = vertical ? (1.0f - target / f.height - 0.5f) * 2.0f * d / f.focal
                     : (target / f.width - 0.5f) * 2.0f * d * f.aspect / f.focal;
  // x rises with the model coordinate, y falls with it.
  for (int step = 0; step < 256 && project(v) != target; ++step) {
    v = std::nextafter(v, (project(v) < target) != vertical ? kInf : -kInf);
  }
  return v;
}

// A triangle given by its screen corners in a w x h frame, straight on.
Corners on_screen(const std::array<std::array<float, 2>, 3>& screen, std::uint32_t w,
                  std::uint32_t h) {
  Corners corners;
  for (int k = 0; k < 3; ++k) {
    corners[k] = {model_coordinate_onto(screen[k][0], false, w, h),
                  model_coordinate_onto(screen[k][1], true, w, h), 0.0f};
  }
  return corners;
}

// Small triangles about the pixel centres of a w x h frame, laid out in cells
// of 4 x 4 pixels from (x0, y0): corners on centres, edges through centres,
// slivers, triangles between centres and boxes of 1 to 5 samples a side, each
// in both windings (the facing test keeps one).
Mesh small_triangles_about_centres(std::uint32_t w, std::uint32_t h, float x0, float y0,
                                   int cells) {
  const std::array<std::array<std::array<float, 2>, 3>, 10> shapes{{
      {{{0.5f, 0.5f}, {1.5f, 0.5f}, {0.5f, 1.5f}}},        // corners and edges on centres
      {{{0.5f, 0.5f}, {0.9f, 0.6f}, {0.6f, 0.8f}}},        // one corner on a centre
      {{{0.1f, 0.1f}, {0.45f, 0.2f}, {0.3f, 0.4f}}},       // between centres
      {{{0.6f, 0.3f}, {0.9f, 0.9f}, {0.7f, 0.2f}}},        // between centres
      {{{0.5f, 0.0f}, {0.5001f, 2.0f}, {0.4999f, 1.0f}}},  // a sliver along centres
      {{{0.0f, 0.5f}, {2.5f, 0.5f}, {1.25f, 0.50005f}}},   // a flat sliver along centres
      {{{0.5f, 0.5f}, {2.5f, 2.5f}, {0.5f, 2.5f}}},        // diagonal through centres, 3 x 3 box
      {{{0.2f, 0.3f}, {2.8f, 2.9f}, {0.25f, 2.95f}}},      // a box of 3 x 3 samples
      {{{0.5f, 0.5f}, {3.5f, 0.5f}, {0.5f, 3.5f}}},        // a box of 4 x 4
      {{{0.0f, 0.0f}, {4.0f, 0.5f}, {1.0f, 4.0f}}},        // a box of 5 x 5
  }};
  std::vector<Corners> corners;
  for (int cell = 0; cell < cells; ++cell) {
    const float dx = x0 + float(cell % 8 * 4), dy = y0 + float(cell / 8 * 4);
    auto shape = shapes[std::size_t(cell) % shapes.size()];
    for (auto& corner : shape) corner = {corner[0] + dx, corner[1] + dy};
    const Corners c = on_screen(shape, w, h);
    corners.push_back(c);
    corners.push_back({c[0], c[2], c[1]});
  }
  return mesh_of(corners);
}

struct FrameCase {
  std::string name;
  Mesh mesh;
  Camera camera;
  std::uint32_t width = 100, height = 100;
  bool blank = false;  // nothing but the background
};

std::vector<FrameCase> frame_cases() {
  const Mesh demo = Mesh::demo_mesh();
  // Colours that are not one per triangle are ignored. That each face takes its own colour
  // is seen from Python; the painted meshes below check that every way of drawing agrees.
  Mesh miscoloured = mesh_of({worked(-0.6f), worked(0.6f)});
  miscoloured.colours = {{255, 0, 0}};
  const auto blank = [](std::string name, Corners corners) {
    return FrameCase{name, mesh_of({corners}), kStraight, 100, 100, true};
  };
  std::vector<FrameCase> cases{
      {"demo_160x96", demo, {}, 160, 96},
      {"demo_1x1", demo, {}, 1, 1},
      {"demo_rolled_97x131", demo, {-1.1f, 2.4f, 0.7f, 2.2f}, 97, 131},
      {"demo_huge_angles", demo, {3e38f, -3e38f, 1e30f, 1.0f}, 64, 48},
      {"sphere_128x80", uv_sphere(24, 40, 0.9f), {}, 128, 80},
      {"sphere_close_64x90", uv_sphere(16, 24, 1.0f), {0.1f, 0.2f, 0.3f, 2.5f}, 64, 90},
      {"soup_reaching_out", random_soup(200, 3.0f, 11), {0.5f, 1.5f, 2.5f, 2.5f}, 64, 48},
      {"soup_far_and_wide", random_soup(300, 400.0f, 19), {0, 0, 0, 2.5f}, 50, 40},
      // Screen coordinates beyond 2^40, whose edge products still fit a float.
      {"huge_corners", mesh_of({{{{-1e11f, -1e11f, 0}, {1e11f, -1e11f, 0}, {0, 1e11f, 0}}}}),
       kStraight},
      // A corner just beyond the near limit throws the triangle far past the frame.
      {"near_the_eye",
       mesh_of({{{{-0.5f, -0.5f, 0.0f}, {0.5f, -0.5f, 0.0f}, {-2.0f, 1.0f, 3.149f}}},
                {{{-0.4f, -0.6f, 3.1499f}, {0.6f, -0.5f, 0.0f}, {0.0f, 0.7f, 0.5f}}}}),
       kStraight},
      // Square to the line to the eye: n . v rounds to above 1, yet the rim glows.
      {"rim_at_parallel_normal",
       mesh_of({{{{0.26599893f, -0.50695914f, 0.157698229f},
                  {-0.184436694f, -0.250580877f, 0.120577432f},
                  {-0.183511019f, -0.763337374f, 0.204719558f}}}}),
       kStraight},
      // From 3.15f on, towards the eye at 3.25, the view depth is at most 0.1.
      {"beyond_near_limit", mesh_of({worked(0, 0, std::nextafter(3.15f, 0.0f))}), kStraight},
      {"partly_left", mesh_of({worked(-1.8f)}), kStraight},
      {"colours_not_one_per_triangle", miscoloured, kStraight, 60, 60},
      // Zooms beyond [0.45, 2.5] are clamped.
      {"zoom_0", mesh_of({worked()}), {0, 0, 0, 0}},
      {"zoom_minus_infinity", mesh_of({worked()}), {0, 0, 0, -kInf}},
      {"zoom_10", mesh_of({worked()}), {0, 0, 0, 10}},
      {"zoom_infinity", mesh_of({worked()}), {0, 0, 0, kInf}},
      {"yaw_pi", mesh_of({worked()}), {0, std::numbers::pi_v<float>, 0, 1}, 100, 100, true},
      blank("at_near_limit", worked(0, 0, 3.15f)),
      blank("behind_eye", worked(0, 0, 5)),
      blank("clockwise", {{{-0.5f, -0.5f, 0}, {0, 0.5f, 0}, {0.5f, -0.5f, 0}}}),
      blank("edge_on", {{{0, -0.5f, -0.5f}, {0, -0.5f, 0.5f}, {0, 0.5f, 0}}}),
      // Facing the eye, but at view depths 2, 1 and 4 every x / d is 0.25.
      blank("collinear", {{{0.5f, -0.5f, 1.25f}, {1, 0, -0.75f}, {0.25f, 0.5f, 2.25f}}}),
      blank("tiny_area", {{{0, 0, 0}, {1e-4f, 0, 0}, {0, 1e-4f, 0}}}),
      blank("left", worked(-8.5f)),
      blank("right", worked(8.5f)),
      blank("above", worked(0, 8.5f)),
      blank("below", worked(0, -8.5f)),
      // Triangles smaller than a pixel, most of them between the pixel centres.
      {"fine_sphere_96x64", uv_sphere(90, 160, 0.9f), {0.3f, -0.2f, 0.1f, 1.0f}, 96, 64},
      {"about_centres", small_triangles_about_centres(100, 100, 2, 2, 80), kStraight},
      // Boxes cut by the last column and row: one sample wide, or a few.
      {"about_centres_at_the_far_edges", small_triangles_about_centres(66, 50, 62, 46, 1),
       kStraight, 66, 50},
      {"about_centres_beyond_the_far_edges",
       mesh_of({on_screen({{{63.6f, 49.1f}, {66.4f, 49.9f}, {64.0f, 51.3f}}}, 66, 50),
                on_screen({{{65.5f, 47.5f}, {65.5f, 49.5f}, {67.5f, 49.5f}}}, 66, 50)}),
       kStraight, 66, 50}};
  // Triangles sharing the edge x = 0, on the pixel centres of column 50, both
  // cover it, and ties go to the earlier. Turns put it opposite each corner.
  for (int turns = 0; turns < 3; ++turns) {
    Corners left{{{0, -0.6f, 0}, {0, 0.6f, 0}, {-0.7f, 0.1f, 0}}};
    Corners right{{{0, 0.6f, 0}, {0, -0.6f, 0}, {0.5f, -0.2f, 0}}};
    std::rotate(left.begin(), left.begin() + turns, left.end());
    std::rotate(right.begin(), right.begin() + turns, right.end());
    const std::string name = "shared_edge_" + std::to_string(turns);
    cases.push_back({name + "_left_first", mesh_of({left, right}), kStraight, 101, 80});
    cases.push_back({name + "_right_first", mesh_of({right, left}), kStraight, 101, 80});
  }
  return cases;
}

class MatchesReference : public ::testing::TestWithParam<FrameCase> {};

TEST_P(MatchesReference, ColourAndDepth) {
  const auto& [name, mesh, camera, width, height, blank] = GetParam();
  const auto [rgba, depth] = reference_render(mesh, camera, width, height);
  EXPECT_EQ(blank, std::ranges::count(depth, kInf) == std::ssize(depth));
  // Drawn after a frame of another size: nothing of that may show through.
  Renderer renderer = rendered(Mesh::demo_mesh(), {}, height + 3, width + 1);
  renderer.resize(width, height);
  for (int pass = 0; pass < 2; ++pass) {
    renderer.render(mesh, camera);
    EXPECT_TRUE(renderer.framebuffer() == rgba);
    EXPECT_TRUE(renderer.depth() == depth);
  }
}

// The mesh with each triangle in a colour of its own: a triangle shaded with
// another's colour shows.
Mesh painted(Mesh mesh) {
  for (std::size_t i = 0; i < mesh.triangles.size(); ++i)
    mesh.colours.push_back({std::uint8_t(i * 37), std::uint8_t(i * 11), std::uint8_t(255 - i)});
  return mesh;
}

// Colour and depth after drawing `mesh` over the background, many triangles at
// a time or (`plain`) one after the other.
Frame front_end_frame(const Mesh& mesh, const AnyCamera& camera, std::uint32_t w, std::uint32_t h,
                      bool plain) {
  Frame frame = frame_of(rendered(Mesh{}, camera, w, h));
  const FrameValues values =
      std::visit([&](const auto& c) { return make_frame_values(c, w, h); }, camera);
  const FrameBuffers buffers{frame.first, frame.second, w};
  for (std::size_t i = 0; plain && i < mesh.triangles.size(); ++i) {
    draw_triangle(mesh.triangles[i], values, buffers,
                  mesh.colours.empty() ? nullptr : &mesh.colours[i]);
  }
  if (!plain) draw_triangles(mesh.triangles, values, buffers, mesh.colours);
  return frame;
}

// Triangles drawn several at a time give the very frame of the plain path, for
// meshes whose length is no multiple of a group, under many cameras, across
// the near limit (where orbit cameras cut triangles) and with non-finite
// corners among finite ones; the overlays stay inside the frame.
TEST(FrontEnd, GroupsDrawTheFramesOfThePlainPath) {
  std::vector<std::pair<std::string, Mesh>> meshes{
      {"soup", random_soup(203, 2.0f, 3)},
      {"soup_through_the_eye", random_soup(157, 9.0f, 8)},
      {"fine_sphere", uv_sphere(60, 90, 0.8f)},
      {"about_centres", small_triangles_about_centres(96, 64, 1, 1, 40)},
  };
  // Corners scattered about the near limit at z = 3.15 (view depth 0.1 straight on).
  Mesh near_limit = random_soup(99, 0.6f, 21);
  for (std::size_t i = 0; i < near_limit.triangles.size(); ++i) {
    const float offsets[] = {0.0f, 1e-6f, -1e-6f, 0.01f, -0.3f};
    near_limit.triangles[i].vertices[i % 3].z = 3.15f + offsets[i % 5];
  }
  meshes.emplace_back("near_limit", near_limit);
  Mesh non_finite = random_soup(130, 1.5f, 4);
  const float bad[] = {kNaN, kInf, -kInf, 3.4e38f, -3.4e38f, 1e-45f};
  for (std::size_t i = 0; i < non_finite.triangles.size(); i += 2) {
    Vec3& corner = non_finite.triangles[i].vertices[i / 2 % 3];
    (i / 6 % 3 == 0 ? corner.x : i / 6 % 3 == 1 ? corner.y : corner.z) = bad[i / 18 % 6];
  }
  meshes.emplace_back("non_finite", non_finite);
  meshes.emplace_back("painted_sphere", painted(uv_sphere(17, 23, 1.0f)));

  std::vector<AnyCamera> cameras{Camera{},
                                 kStraight,
                                 Camera{-0.0f, -0.0f, -0.0f, 1.0f},
                                 OrbitCamera{{0.1f, 0.2f, 0.3f}, 0.9f, 0.3f, 0.5f, 0.2f},
                                 OrbitCamera{{0.1f, 0.2f, 0.3f}, 0.9f, 0.3f, 0.5f, 0.2f, true},
                                 OrbitCamera{{0, 0, 0}, 1e-30f, 1.0f, 2.0f},
                                 OrbitCamera{{1e30f, 0, 0}, 3e38f, 0.0f, 0.0f},
                                 OrbitCamera{{0, 0, 0}, 1.0f, kNaN, 0.0f}};
  std::mt19937 engine(77);
  std::uniform_real_distribution<float> angle(-7.0f, 7.0f), zoom(0.2f, 3.0f);
  for (int i = 0; i < 12; ++i)
    cameras.push_back(Camera{angle(engine), angle(engine), angle(engine), zoom(engine)});
  for (const float odd : {kNaN, kInf, 1e30f}) {
    cameras.push_back(Camera{odd, 0.3f, 0.1f, 1.0f});
    cameras.push_back(Camera{0.2f, 0.4f, 0.3f, odd});
  }
  for (const auto& [name, mesh] : meshes) {
    for (std::size_t c = 0; c < cameras.size(); ++c) {
      for (const auto& [w, h] : Sizes{{96, 64}, {1, 1}, {37, 120}}) {
        SCOPED_TRACE(name + " camera " + std::to_string(c) + " " + std::to_string(w) + "x" +
                     std::to_string(h));
        EXPECT_TRUE(same_bits(front_end_frame(mesh, cameras[c], w, h, false),
                              front_end_frame(mesh, cameras[c], w, h, true)));
      }
      Renderer(37, 120).render(mesh, cameras[c], {.edges = true, .axis_triad = true});
    }
  }
}

// Meshes long enough to be shared out over threads give the frame of one
// thread: with ties at equal depth between triangles of different shares
// (the shared edge, with thousands of triangles that draw nothing between
// its two halves), overlapping soups and a fine sphere; frame after frame of
// one renderer, turning and resized (to as many pixels in other rows), so
// that nothing a share drew lingers into a later frame.
TEST(Threads, FramesAreThoseOfOneThread) {
  Mesh shared_edge = mesh_of({{{{0, -0.6f, 0}, {0, 0.6f, 0}, {-0.7f, 0.1f, 0}}}});
  const Mesh behind = random_soup(9000, 0.5f, 5);
  for (Triangle t : behind.triangles) {
    for (Vec3& v : t.vertices) v.z += 4.0f;  // behind the eye
    shared_edge.triangles.push_back(t);
  }
  shared_edge.triangles.push_back(make_triangle({}, {0, 0.6f, 0}, {0, -0.6f, 0}, {0.5f, -0.2f, 0}));
  const std::vector<std::pair<std::string, Mesh>> meshes{
      {"shared_edge", shared_edge},
      {"soup", random_soup(20000, 1.2f, 9)},
      {"painted_soup", painted(random_soup(20000, 1.2f, 11))},
      {"fine_sphere", uv_sphere(120, 200, 0.9f)},
  };
  // Straight on, turned, and so on; later frames also cut the list where the earlier ones took
  // equally long.
  const Camera cameras[] = {kStraight, {0.3f, -0.2f, 0.1f, 1.4f}};
  const Sizes sizes{{101, 80}, {101, 80}, {101, 80}, {80, 101}, {101, 80}};
  for (const auto& [name, mesh] : meshes) {
    set_thread_count(1);
    std::vector<Renderer> ones;
    for (std::size_t frame = 0; frame < sizes.size(); ++frame) {
      ones.push_back(rendered(mesh, cameras[frame % 2], sizes[frame].first, sizes[frame].second));
    }
    for (const std::size_t threads : {2, 3, 8}) {
      set_thread_count(threads);
      Renderer many(1, 1);
      for (std::size_t frame = 0; frame < sizes.size(); ++frame) {
        many.resize(sizes[frame].first, sizes[frame].second);
        many.render(mesh, cameras[frame % 2]);
        EXPECT_TRUE(same_bits(frame_of(many), frame_of(ones[frame])))
            << name << " on " << threads << " threads, frame " << frame;
      }
    }
  }
  set_thread_count(0);
}

// Runs that took longer get fewer triangles next time, and the cuts stay in
// order within the list whatever the timings say.
TEST(Threads, CutsMoveTowardsEqualTimes) {
  ShareBalance balance;
  EXPECT_EQ(balance.cuts(100, 2), (std::vector<std::size_t>{0, 50, 100}));
  balance.record({3.0, 1.0});  // the work divides evenly at a third of the list
  EXPECT_EQ(balance.cuts(100, 2), (std::vector<std::size_t>{0, 41, 100}));
  for (const std::vector<double>& odd :
       {std::vector<double>{0.0, 0.0, 0.0}, {1.0, -1.0, 1.0}, {1.0, NAN, 1.0}, {1e308, 1e308, 0}}) {
    balance.cuts(100, 3);
    balance.record(odd);
    const std::vector<std::size_t> cuts = balance.cuts(100, 3);
    EXPECT_TRUE(std::is_sorted(cuts.begin(), cuts.end()));
    EXPECT_EQ(cuts.front(), 0u);
    EXPECT_EQ(cuts.back(), 100u);
  }
  EXPECT_EQ(balance.cuts(7, 3), (std::vector<std::size_t>{0, 2, 4, 7}));  // a new list starts even
}

INSTANTIATE_TEST_SUITE_P(Frames, MatchesReference, ::testing::ValuesIn(frame_cases()),
                         [](const auto& info) { return info.param.name; });

TEST(Renderer, ResizeKeepsWhatSurvivesAndAppendsBlank) {
  Renderer renderer(1, 1);
  EXPECT_EQ(Frame(renderer.framebuffer(), renderer.depth()), Frame({0, 0, 0, 0}, {kInf}));
  renderer.resize(2, 2);
  renderer.render(Mesh::demo_mesh(), {});
  const std::vector<std::uint8_t> drawn = renderer.framebuffer();
  const float depth = renderer.depth()[0];
  const std::uint8_t* storage = renderer.framebuffer().data();
  renderer.resize(2, 2);
  EXPECT_EQ(renderer.framebuffer(), drawn);
  renderer.resize(1, 1);
  EXPECT_EQ(renderer.framebuffer(), std::vector(drawn.begin(), drawn.begin() + 4));
  renderer.resize(2, 2);
  std::vector<std::uint8_t> grown(drawn.begin(), drawn.begin() + 4);
  grown.resize(16, 0);
  EXPECT_EQ(renderer.framebuffer(), grown);
  EXPECT_EQ(renderer.depth(), std::vector({depth, kInf, kInf, kInf}));
  renderer.resize(4, 1);
  EXPECT_EQ(renderer.framebuffer(), grown);
  EXPECT_EQ(std::vector({renderer.width(), renderer.height()}), std::vector({4u, 1u}));
  EXPECT_EQ(renderer.framebuffer().data(), storage);
}

TEST(Renderer, ZeroSizesStayEmptyAndSizesBeyondTheLimitAreRefused) {
  for (const auto& [width, height] :
       Sizes{{0, 0}, {0, 9}, {9, 0}, {0, UINT32_MAX}, {UINT32_MAX, 0}}) {
    Renderer renderer(5, 7);
    renderer.resize(width, height);
    renderer.render(random_soup(50, 2.0f, 5), kStraight);
    EXPECT_TRUE(renderer.framebuffer().empty() && renderer.depth().empty());
    EXPECT_EQ(std::pair(renderer.width(), renderer.height()), std::pair(width, height));
  }
  Renderer renderer = rendered(Mesh::demo_mesh(), {}, 3, 2);
  const std::vector<std::uint8_t> colour = renderer.framebuffer();
  for (const auto& [width, height] : Sizes{{65535u * 3, 65535u * 6},
                                           {UINT32_MAX, UINT32_MAX},
                                           {1u << 14, (1u << 14) + 1},
                                           {Renderer::kMaxPixels + 1, 1}}) {
    EXPECT_THROW(renderer.resize(width, height), std::bad_alloc);
    EXPECT_THROW(Renderer(width, height), std::bad_alloc);
  }
  EXPECT_EQ(std::pair(renderer.width(), renderer.height()), std::pair(3u, 2u));
  EXPECT_EQ(renderer.framebuffer(), colour);
}

TEST(Render, AFrameOfUnchangedSizeAllocatesNothing) {
  Renderer renderer(160, 96);
  const Mesh mesh = uv_sphere(20, 30, 1.0f);
  renderer.render(mesh, {});
  const std::size_t before = allocations;
  renderer.resize(160, 96);
  renderer.render(mesh, Camera{0.3f, 0.2f, 0.1f, 2.0f});
  EXPECT_EQ(allocations, before);
}

// The worked triangle straight on: one colour over the pixel centres inside
// its projected corners, at the distance of the eye.
TEST(Render, WorkedTriangleCoversItsProjectionInOneColour) {
  const Renderer background = rendered(Mesh{}, kStraight, 100, 100);
  EXPECT_EQ(pixel_at(background, 0, 0), (Rgba{7, 12, 18, 255}));
  EXPECT_EQ(pixel_at(background, 50, 42), (Rgba{39, 35, 36, 255}));
  const Renderer renderer = rendered(mesh_of({worked()}), kStraight, 100, 100);
  std::vector<std::uint32_t> extent{100, 0, 100, 0, 0};
  for (std::uint32_t y = 0; y < 100; ++y) {
    for (std::uint32_t x = 0; x < 100; ++x) {
      const float depth = renderer.depth()[y * 100 + x];
      EXPECT_EQ(pixel_at(renderer, x, y),
                (depth < kInf ? Rgba{70, 75, 79, 255} : pixel_at(background, x, y)));
      if (depth == kInf) continue;
      EXPECT_NEAR(depth, 3.25f, 1e-5f);
      extent = {std::min(extent[0], x), std::max(extent[1], x), std::min(extent[2], y),
                std::max(extent[3], y), extent[4] + 1};
    }
  }
  EXPECT_EQ(extent, (std::vector<std::uint32_t>{34, 65, 35, 65, 512}));
}

// A non-finite camera draws only the background; a triangle with a non-finite
// or overflowing corner, slipped into the demo hull, draws nothing.
TEST(Render, NonFiniteInputDrawsNothing) {
  for (const Camera camera :
       {kStraight, Camera{}, Camera{kNaN, -0.55f, 0, 1}, Camera{0.45f, kNaN, 0, 1},
        Camera{0.45f, -0.55f, kNaN, 1}, Camera{0, 0, 0, kNaN}, Camera{kInf, 0, 0, 1},
        Camera{0, -kInf, 0, 1}, Camera{0, 0, kInf, 1}}) {
    const bool finite = std::isfinite(camera.pitch + camera.yaw + camera.roll + camera.zoom);
    const Renderer expected = rendered(finite ? Mesh::demo_mesh() : Mesh{}, camera, 80, 60);
    for (const Vec3 bad :
         {Vec3{kNaN, 0, 0.9f}, Vec3{0, kNaN, 0.9f}, Vec3{0, 0, kNaN}, Vec3{kInf, 0, 0.9f},
          Vec3{0, -kInf, 0.9f}, Vec3{0, 0, kInf}, Vec3{0, 0, -kInf}, Vec3{0, 3.4e38f, 0.9f}}) {
      Mesh mesh = Mesh::demo_mesh();
      const Corners corners{{{-0.5f, -0.5f, 0.9f}, {0.5f, -0.5f, 0.9f}, bad}};
      mesh.triangles.insert(mesh.triangles.begin() + 6, mesh_of({corners}).triangles[0]);
      EXPECT_TRUE(same_bits(frame_of(rendered(mesh, camera, 80, 60)), frame_of(expected)))
          << bad.x << bad.y << bad.z;
    }
  }
}

// Frames wider than 2^24 pixels, where W - 1 as a float rounds up to W: a
// triangle across the right edge must stop at the last column.
TEST(Render, WideFrameStopsAtTheLastColumn) {
  const std::uint32_t width = (1u << 24) + 4;
  const auto x = [&](float ndc) { return ndc * float(width) * 3.25f / 2.144507f; };
  const Renderer renderer = rendered(
      mesh_of({{{{x(0.999f), -3, 0}, {x(1.5f), -3, 0}, {x(0.999f), 3, 0}}}}), kStraight, width, 1);
  EXPECT_LT(renderer.depth()[width - 1], kInf);
  EXPECT_EQ(renderer.depth()[0], kInf);
}

}  // namespace
}  // namespace facetview
