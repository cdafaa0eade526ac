#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>

#include "surface/terminal_surface.hpp"

namespace facetview {
namespace {

struct SizingCase {
  Quality quality;
  std::uint16_t cols;
  std::uint16_t rows;
  FrameSize expected;
};

std::ostream& operator<<(std::ostream& out, const SizingCase& c) {
  return out << "quality " << static_cast<int>(c.quality) << ", " << c.cols << "x" << c.rows;
}

class FramebufferSize : public testing::TestWithParam<SizingCase> {};

TEST_P(FramebufferSize, MatchesTheWorkedExample) {
  const SizingCase& c = GetParam();
  // The position of the viewport plays no part in its size.
  for (const std::uint16_t offset : {0, 7, 65535}) {
    const Viewport viewport{offset, offset, c.cols, c.rows};
    EXPECT_EQ(framebuffer_size(c.quality, viewport), c.expected);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Examples, FramebufferSize,
    testing::Values(
        // Unscaled cells.
        SizingCase{Quality::low, 80, 24, {240, 144}},
        SizingCase{Quality::medium, 80, 24, {320, 192}},
        SizingCase{Quality::high, 80, 24, {400, 240}},
        SizingCase{Quality::high, 120, 40, {600, 400}}, SizingCase{Quality::low, 1, 1, {3, 6}},
        // Each axis floored on its own: the cells lose their 1:2 shape.
        SizingCase{Quality::medium, 200, 50, {600, 350}},
        SizingCase{Quality::medium, 200, 60, {600, 360}},
        SizingCase{Quality::high, 200, 60, {800, 480}},
        SizingCase{Quality::low, 160, 50, {320, 250}},
        // A total equal to the budget is not scaled; one pixel more is.
        SizingCase{Quality::medium, 125, 65, {500, 520}},
        SizingCase{Quality::high, 120, 70, {600, 700}},
        SizingCase{Quality::medium, 4063, 2, {12189, 14}},
        // 0 cells count as 1.
        SizingCase{Quality::medium, 0, 0, {4, 8}}, SizingCase{Quality::medium, 0, 5, {4, 40}},
        SizingCase{Quality::high, 3, 0, {15, 10}},
        // More cells than budget pixels: 1 x 1 pixel per cell.
        SizingCase{Quality::low, 1000, 1000, {1000, 1000}},
        // The pixel total saturates instead of wrapping round to a small number.
        SizingCase{Quality::high, 65535, 65535, {65535, 65535}},
        SizingCase{Quality::low, 65535, 65535, {65535, 65535}},
        SizingCase{Quality::high, 65535, 1, {65535, 3}}));

// Over a sweep of viewports: whole pixels per cell, and the budget holds
// unless a cell side had to be raised to one pixel.
TEST(FramebufferSizeSweep, CellAlignedAndWithinBudget) {
  const std::uint64_t budgets[] = {140000, 260000, 420000};
  const std::uint16_t sides[] = {0, 1, 2, 3, 7, 24, 80, 81, 100, 160, 255, 333, 1000, 4096, 65535};
  for (const Quality quality : {Quality::low, Quality::medium, Quality::high}) {
    const auto ordinal = static_cast<std::uint32_t>(quality);
    for (const std::uint16_t cols : sides) {
      for (const std::uint16_t rows : sides) {
        SCOPED_TRACE(testing::Message() << "quality " << ordinal << ", " << cols << "x" << rows);
        const FrameSize size = framebuffer_size(quality, Viewport{0, 0, cols, rows});
        const std::uint32_t cols_or_1 = cols == 0 ? 1 : cols;
        const std::uint32_t rows_or_1 = rows == 0 ? 1 : rows;
        ASSERT_EQ(size.width % cols_or_1, 0u);
        ASSERT_EQ(size.height % rows_or_1, 0u);
        const std::uint32_t cell_width = size.width / cols_or_1;
        const std::uint32_t cell_height = size.height / rows_or_1;
        EXPECT_GE(cell_width, 1u);
        EXPECT_LE(cell_width, ordinal + 3);
        EXPECT_LE(cell_height, 2 * ordinal + 6);
        if (cell_width > 1 && cell_height > 1) {
          EXPECT_LE(std::uint64_t{size.width} * size.height, budgets[ordinal]);
        }
      }
    }
  }
}

}  // namespace
}  // namespace facetview
