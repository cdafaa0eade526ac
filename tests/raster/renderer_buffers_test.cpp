// Sizing of the colour and depth buffers.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <new>
#include <vector>

#include "raster/renderer.hpp"

namespace facetview {
namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();

// Fills both buffers with distinct values so that moves and clears show.
Renderer numbered_renderer(std::uint32_t width, std::uint32_t height) {
  Renderer renderer(width, height);
  Mesh empty;
  renderer.render(empty, Camera{});
  return renderer;
}

TEST(RendererBuffers, NewOneByOneIsTransparentBlackAtInfiniteDepth) {
  const Renderer renderer(1, 1);
  EXPECT_EQ(renderer.framebuffer(), (std::vector<std::uint8_t>{0, 0, 0, 0}));
  EXPECT_EQ(renderer.depth(), (std::vector<float>{kInf}));
  EXPECT_EQ(renderer.width(), 1u);
  EXPECT_EQ(renderer.height(), 1u);
}

TEST(RendererBuffers, ResizeToTheSameSizeTouchesNothing) {
  Renderer renderer(3, 2);
  renderer.render(Mesh::demo_mesh(), Camera{});
  const std::vector<std::uint8_t> colour = renderer.framebuffer();
  const std::vector<float> depth = renderer.depth();
  const std::uint8_t* storage = renderer.framebuffer().data();
  renderer.resize(3, 2);
  EXPECT_EQ(renderer.framebuffer(), colour);
  EXPECT_EQ(renderer.depth(), depth);
  EXPECT_EQ(renderer.framebuffer().data(), storage);
}

TEST(RendererBuffers, ShrinkKeepsPrefixAndStorageAndGrowAppendsBlank) {
  Renderer renderer = numbered_renderer(2, 2);
  const std::vector<std::uint8_t> before = renderer.framebuffer();
  const std::uint8_t* colour_storage = renderer.framebuffer().data();
  const float* depth_storage = renderer.depth().data();

  renderer.resize(1, 1);
  EXPECT_EQ(renderer.framebuffer(), std::vector<std::uint8_t>(before.begin(), before.begin() + 4));
  EXPECT_EQ(renderer.depth(), (std::vector<float>{kInf}));
  EXPECT_EQ(renderer.framebuffer().data(), colour_storage);
  EXPECT_EQ(renderer.depth().data(), depth_storage);

  renderer.resize(2, 2);
  std::vector<std::uint8_t> expected(before.begin(), before.begin() + 4);
  expected.resize(16, 0);
  EXPECT_EQ(renderer.framebuffer(), expected);
  EXPECT_EQ(renderer.depth(), std::vector<float>(4, kInf));
}

TEST(RendererBuffers, SamePixelCountKeepsBothBuffers) {
  Renderer renderer = numbered_renderer(4, 1);
  const std::vector<std::uint8_t> colour = renderer.framebuffer();
  renderer.resize(2, 2);
  EXPECT_EQ(renderer.width(), 2u);
  EXPECT_EQ(renderer.height(), 2u);
  EXPECT_EQ(renderer.framebuffer(), colour);
  EXPECT_EQ(renderer.depth(), std::vector<float>(4, kInf));
}

struct EmptySize {
  std::uint32_t width, height;
};

class RendererEmptySizes : public ::testing::TestWithParam<EmptySize> {};

TEST_P(RendererEmptySizes, LeaveBothBuffersEmpty) {
  const EmptySize size = GetParam();
  Renderer renderer(5, 7);
  renderer.resize(size.width, size.height);
  EXPECT_TRUE(renderer.framebuffer().empty());
  EXPECT_TRUE(renderer.depth().empty());
  EXPECT_EQ(renderer.width(), size.width);
  EXPECT_EQ(renderer.height(), size.height);
  const Renderer fresh(size.width, size.height);
  EXPECT_TRUE(fresh.framebuffer().empty());
  EXPECT_TRUE(fresh.depth().empty());
}

INSTANTIATE_TEST_SUITE_P(ZeroDimension, RendererEmptySizes,
                         ::testing::Values(EmptySize{0, 0}, EmptySize{0, 9}, EmptySize{9, 0},
                                           EmptySize{0, UINT32_MAX}, EmptySize{UINT32_MAX, 0}));

struct OversizedFrame {
  std::uint32_t width, height;
};

class RendererOversized : public ::testing::TestWithParam<OversizedFrame> {};

TEST_P(RendererOversized, IsRefusedAndLeavesTheRendererAsItWas) {
  const OversizedFrame size = GetParam();
  Renderer renderer = numbered_renderer(3, 2);
  const std::vector<std::uint8_t> colour = renderer.framebuffer();
  const std::vector<float> depth = renderer.depth();
  EXPECT_THROW(renderer.resize(size.width, size.height), std::bad_alloc);
  EXPECT_EQ(renderer.width(), 3u);
  EXPECT_EQ(renderer.height(), 2u);
  EXPECT_EQ(renderer.framebuffer(), colour);
  EXPECT_EQ(renderer.depth(), depth);
  EXPECT_THROW(Renderer(size.width, size.height), std::bad_alloc);
}

// 65535 x 65535 cells at even the smallest cell size, the full 32-bit range,
// and one pixel over the limit.
INSTANTIATE_TEST_SUITE_P(
    BeyondMaxPixels, RendererOversized,
    ::testing::Values(OversizedFrame{65535u * 3, 65535u * 6},
                      OversizedFrame{UINT32_MAX, UINT32_MAX},
                      OversizedFrame{1u << 14, (1u << 14) + 1},
                      OversizedFrame{static_cast<std::uint32_t>(Renderer::max_pixels) + 1, 1}));

}  // namespace
}  // namespace facetview
