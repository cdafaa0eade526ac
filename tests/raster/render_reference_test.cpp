// Whole frames against the plain reference renderer, byte for byte.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "raster/frame_values.hpp"
#include "raster/renderer.hpp"
#include "raster/triangle_pipeline.hpp"
#include "reference_renderer.hpp"
#include "test_meshes.hpp"

namespace facetview {
namespace {

struct FrameCase {
  std::string name;
  Mesh mesh;
  Camera camera;
  std::uint32_t width, height;
};

void PrintTo(const FrameCase& c, std::ostream* out) {
  *out << c.name;
}

class MatchesReference : public ::testing::TestWithParam<FrameCase> {};

// The frame drawn with the narrowest scan, whatever the processor offers.
testing::ReferenceFrame render_with_four_lanes(const FrameCase& c) {
  Renderer background(c.width, c.height);
  background.render(Mesh{}, c.camera);
  testing::ReferenceFrame frame{background.framebuffer(), background.depth()};
  const FrameValues values = make_frame_values(c.camera, c.width, c.height);
  const FrameBuffers buffers{frame.rgba, frame.depth, c.width};
  for (const Triangle& triangle : c.mesh.triangles) {
    draw_triangle(triangle, values, buffers, ScanLanes::four);
  }
  return frame;
}

bool same_bits(const std::vector<float>& a, const std::vector<float>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

std::size_t differing_bytes(const std::vector<std::uint8_t>& a,
                            const std::vector<std::uint8_t>& b) {
  std::size_t count = 0;
  for (std::size_t i = 0; i < a.size(); ++i) count += a[i] != b[i];
  return count;
}

TEST_P(MatchesReference, ColourAndDepth) {
  const FrameCase& c = GetParam();
  // Start from a differently sized, already drawn renderer: nothing of the
  // earlier frame may show through.
  Renderer renderer(c.height + 3, c.width + 1);
  renderer.render(Mesh::demo_mesh(), Camera{});
  renderer.resize(c.width, c.height);
  renderer.render(c.mesh, c.camera);
  const testing::ReferenceFrame expected =
      testing::reference_render(c.mesh, c.camera, c.width, c.height);
  ASSERT_EQ(renderer.framebuffer().size(), expected.rgba.size());
  EXPECT_EQ(differing_bytes(renderer.framebuffer(), expected.rgba), 0u);
  // Bitwise, so that infinities and signed zeros compare too.
  EXPECT_TRUE(same_bits(renderer.depth(), expected.depth));

  const testing::ReferenceFrame four_lanes = render_with_four_lanes(c);
  EXPECT_EQ(differing_bytes(four_lanes.rgba, expected.rgba), 0u);
  EXPECT_TRUE(same_bits(four_lanes.depth, expected.depth));

  // A second frame into the same buffers is the same frame.
  const std::vector<std::uint8_t> first = renderer.framebuffer();
  renderer.render(c.mesh, c.camera);
  EXPECT_EQ(renderer.framebuffer(), first);
}

const Camera kDefault{};

INSTANTIATE_TEST_SUITE_P(
    Frames, MatchesReference,
    ::testing::Values(
        FrameCase{"demo_default_160x96", Mesh::demo_mesh(), kDefault, 160, 96},
        FrameCase{"demo_default_1x1", Mesh::demo_mesh(), kDefault, 1, 1},
        FrameCase{"demo_default_7x3", Mesh::demo_mesh(), kDefault, 7, 3},
        FrameCase{"demo_rolled_zoomed_97x131", Mesh::demo_mesh(), Camera{-1.1f, 2.4f, 0.7f, 2.2f},
                  97, 131},
        FrameCase{"demo_far_200x40", Mesh::demo_mesh(), Camera{0.2f, 0.3f, -0.4f, 0.3f}, 200, 40},
        FrameCase{"normalized_demo_120x72", Mesh::demo_mesh().normalized(),
                  Camera{1.0f, -2.0f, 0.0f, 1.7f}, 120, 72},
        FrameCase{"sphere_default_128x80", testing::uv_sphere(24, 40, 0.9f), kDefault, 128, 80},
        FrameCase{"sphere_close_90x64", testing::uv_sphere(16, 24, 1.0f),
                  Camera{0.1f, 0.2f, 0.3f, 2.5f}, 90, 64},
        FrameCase{"soup_default_150x90", testing::random_soup(300, 1.0f, 7), kDefault, 150, 90},
        FrameCase{"soup_wide_reaching_64x48", testing::random_soup(200, 3.0f, 11),
                  Camera{0.5f, 1.5f, 2.5f, 2.5f}, 64, 48},
        // A corner just beyond the near limit throws the triangle far past the frame.
        FrameCase{"near_the_eye_64x48",
                  testing::mesh_of(
                      {{{{-0.5f, -0.5f, 0.0f}, {0.5f, -0.5f, 0.0f}, {-2.0f, 1.0f, 3.149f}}},
                       {{{-0.4f, -0.6f, 3.1499f}, {0.6f, -0.5f, 0.0f}, {0.0f, 0.7f, 0.5f}}}}),
                  Camera{0.0f, 0.0f, 0.0f, 1.0f}, 64, 48},
        FrameCase{"soup_tall_33x120", testing::random_soup(100, 1.5f, 3),
                  Camera{-0.3f, 0.0f, 0.0f, 1.0f}, 33, 120}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace facetview
