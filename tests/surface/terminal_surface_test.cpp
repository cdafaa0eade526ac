#include "surface/terminal_surface.hpp"

#include <gtest/gtest.h>

#include <cstddef>
#include <new>
#include <string>
#include <string_view>

#include "memory_output.hpp"

namespace facetview {
namespace {

constexpr std::string_view delete_all = "\x1b_Ga=d,d=A,q=2\x1b\\";

std::size_t count(const std::string& haystack, std::string_view needle) {
  std::size_t found = 0;
  for (std::size_t at = haystack.find(needle); at != std::string::npos;
       at = haystack.find(needle, at + needle.size())) {
    ++found;
  }
  return found;
}

std::size_t placements(const std::string& bytes) {
  return count(bytes, "\x1b_Ga=p,");
}

// Tiles of 8 x 4 cells, the last ones in a row or column possibly smaller.
std::size_t tile_count(Viewport viewport) {
  return std::size_t{(viewport.cols + 7u) / 8u} * ((viewport.rows + 3u) / 4u);
}

class TerminalSurfaceTest : public testing::Test {
 protected:
  Result<PresentedFrame> present(Viewport viewport, const Camera& camera = default_camera) {
    output.bytes.clear();
    output.flushes = 0;
    return surface.render_and_present(output, mesh, camera, viewport);
  }

  TerminalSurface surface{Quality::medium};
  const Mesh mesh = Mesh::demo_mesh();
  MemoryOutput output;
  const Viewport terminal{2, 1, 80, 24};
};

TEST_F(TerminalSurfaceTest, FirstFrameDeletesAllAndSendsEveryTile) {
  const Result<PresentedFrame> frame = present(terminal);
  ASSERT_TRUE(frame.ok()) << frame.error().message();
  EXPECT_EQ(frame->viewport, terminal);
  EXPECT_EQ(frame->width, 320u);
  EXPECT_EQ(frame->height, 192u);
  EXPECT_EQ(surface.renderer().width(), 320u);
  EXPECT_EQ(surface.renderer().height(), 192u);
  EXPECT_TRUE(output.bytes.starts_with(delete_all));
  EXPECT_EQ(placements(output.bytes), tile_count(terminal));
  EXPECT_EQ(output.flushes, 1);
}

TEST_F(TerminalSurfaceTest, IdenticalFrameWritesNothing) {
  ASSERT_TRUE(present(terminal).ok());
  const Result<PresentedFrame> again = present(terminal);
  ASSERT_TRUE(again.ok());
  EXPECT_EQ(again->width, 320u);
  EXPECT_EQ(output.bytes, "");
  EXPECT_EQ(output.flushes, 0);
}

TEST_F(TerminalSurfaceTest, TurnedCameraResendsSomeTilesWithoutRebuilding) {
  ASSERT_TRUE(present(terminal).ok());
  Camera turned;
  turned.yaw += 0.05f;
  ASSERT_TRUE(present(terminal, turned).ok());
  EXPECT_FALSE(output.bytes.starts_with(delete_all));
  EXPECT_GT(placements(output.bytes), 0u);
  EXPECT_LT(placements(output.bytes), tile_count(terminal));
  EXPECT_EQ(output.flushes, 1);
}

TEST_F(TerminalSurfaceTest, HigherQualityRebuildsAtTheNewSize) {
  ASSERT_TRUE(present(terminal).ok());
  surface.set_quality(Quality::high);
  const Result<PresentedFrame> frame = present(terminal);
  ASSERT_TRUE(frame.ok());
  EXPECT_EQ(frame->width, 400u);
  EXPECT_EQ(frame->height, 240u);
  EXPECT_TRUE(output.bytes.starts_with(delete_all));
  EXPECT_EQ(placements(output.bytes), tile_count(terminal));
}

// 100000 cells: both qualities scale down to 1 x 2 pixels per cell.
TEST_F(TerminalSurfaceTest, QualityChangeKeepingTheSizeRebuildsNothing) {
  const Viewport crowded{0, 0, 400, 250};
  ASSERT_EQ(framebuffer_size(Quality::medium, crowded), framebuffer_size(Quality::high, crowded));
  ASSERT_TRUE(present(crowded).ok());
  surface.set_quality(Quality::high);
  const Result<PresentedFrame> frame = present(crowded);
  ASSERT_TRUE(frame.ok());
  EXPECT_EQ(frame->width, 400u);
  EXPECT_EQ(frame->height, 500u);
  EXPECT_EQ(output.bytes, "");
}

TEST_F(TerminalSurfaceTest, EmptyViewportShowsNothing) {
  const Viewport empty{5, 5, 0, 0};
  const Result<PresentedFrame> frame = present(empty);
  ASSERT_TRUE(frame.ok()) << frame.error().message();
  EXPECT_EQ(frame->viewport, empty);
  EXPECT_EQ(frame->width, 4u);
  EXPECT_EQ(frame->height, 8u);
  EXPECT_EQ(output.bytes, delete_all);
  EXPECT_EQ(output.flushes, 0);
}

TEST_F(TerminalSurfaceTest, UnallocatableFrameThrowsAndLeavesTheSurfaceUsable) {
  const Viewport huge{0, 0, 65535, 65535};
  EXPECT_THROW((void)present(huge), std::bad_alloc);
  EXPECT_EQ(output.bytes, "");

  const Result<PresentedFrame> first = present(terminal);
  ASSERT_TRUE(first.ok());
  EXPECT_TRUE(output.bytes.starts_with(delete_all));

  // The presenter still holds the last frame, and the renderer its size.
  EXPECT_THROW((void)present(huge), std::bad_alloc);
  EXPECT_EQ(surface.renderer().width(), 320u);
  const Result<PresentedFrame> again = present(terminal);
  ASSERT_TRUE(again.ok());
  EXPECT_EQ(output.bytes, "");
}

struct FailureCase {
  const char* name;
  bool fail_writes;
  bool fail_flush;
};

class TerminalSurfaceFailure : public TerminalSurfaceTest,
                               public testing::WithParamInterface<FailureCase> {};

TEST_P(TerminalSurfaceFailure, ReturnsTheOutputErrorUnchanged) {
  const Error failure("stream gone", Error("root cause"));
  if (GetParam().fail_writes) output.write_error = failure;
  if (GetParam().fail_flush) output.flush_error = failure;

  const Result<PresentedFrame> frame = present(terminal);
  ASSERT_FALSE(frame.ok());
  EXPECT_EQ(frame.error().message(), "stream gone");
  ASSERT_NE(frame.error().cause(), nullptr);
  EXPECT_EQ(frame.error().cause()->message(), "root cause");
  // The renderer keeps the frame it drew.
  EXPECT_EQ(surface.renderer().width(), 320u);

  // A frame that did not reach the output whole goes out again once it works.
  output.write_error.reset();
  output.flush_error.reset();
  const Result<PresentedFrame> retried = present(terminal);
  ASSERT_TRUE(retried.ok());
  EXPECT_GT(placements(output.bytes), 0u);
  EXPECT_EQ(output.flushes, 1);
}

INSTANTIATE_TEST_SUITE_P(Outputs, TerminalSurfaceFailure,
                         testing::Values(FailureCase{"Write", true, false},
                                         FailureCase{"Flush", false, true}),
                         [](const testing::TestParamInfo<FailureCase>& info) {
                           return info.param.name;
                         });

struct SizeCase {
  Quality quality;
  Viewport viewport;
};

class RenderAndPresentSize : public testing::TestWithParam<SizeCase> {};

TEST_P(RenderAndPresentSize, IsTheFramebufferSize) {
  const SizeCase& c = GetParam();
  TerminalSurface surface(c.quality);
  MemoryOutput output;
  const Result<PresentedFrame> frame =
      surface.render_and_present(output, Mesh::demo_mesh(), default_camera, c.viewport);
  ASSERT_TRUE(frame.ok()) << frame.error().message();
  const FrameSize expected = framebuffer_size(c.quality, c.viewport);
  EXPECT_EQ((FrameSize{frame->width, frame->height}), expected);
  EXPECT_EQ(surface.renderer().framebuffer().size(),
            std::size_t{expected.width} * expected.height * 4);
}

INSTANTIATE_TEST_SUITE_P(Viewports, RenderAndPresentSize,
                         testing::Values(SizeCase{Quality::low, {0, 0, 80, 24}},
                                         SizeCase{Quality::medium, {0, 0, 80, 24}},
                                         SizeCase{Quality::high, {0, 0, 80, 24}},
                                         SizeCase{Quality::low, {3, 4, 1, 1}},
                                         SizeCase{Quality::medium, {0, 0, 200, 50}},
                                         SizeCase{Quality::high, {10, 2, 200, 60}},
                                         SizeCase{Quality::low, {0, 0, 160, 50}},
                                         SizeCase{Quality::medium, {0, 0, 81, 6}}));

}  // namespace
}  // namespace facetview
