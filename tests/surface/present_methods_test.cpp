// Frame sizes and sixel placement for each way of presenting, and the image
// ranges surfaces lease. What reaches the terminal is checked from Python.
#include <gtest/gtest.h>

#include <optional>
#include <tuple>

#include "surface/terminal_surface.hpp"

namespace facetview {
namespace {

using Q = Quality;
using M = PresentMethod;

TEST(FrameSize, RealCellsWithinTheQualitysBudget) {
  const TerminalDisplay unknown, xterm{7, 14, std::uint16_t{50}}, large{10, 20, {}};
  const std::optional<SixelLayout> kitty;
  using L = std::tuple<M, Q, Viewport, TerminalDisplay, std::optional<SixelLayout>, FrameSize>;
  for (const auto& [method, quality, viewport, display, layout, size] :
       {// Unknown cells: the quality's own, 4 x 8 at medium.
        L{M::sixel, Q::medium, {0, 0, 80, 24}, unknown, SixelLayout{4, 8, 1, {}}, {320, 192}},
        L{M::sixel, Q::medium, {0, 0, 80, 23}, xterm, SixelLayout{7, 14, 1, 50}, {560, 322}},
        // 1600 x 960 pixels: within 420000 at half size, 260000 at a third.
        L{M::sixel, Q::high, {0, 0, 160, 48}, large, SixelLayout{10, 20, 2, {}}, {800, 480}},
        L{M::sixel, Q::medium, {0, 0, 160, 48}, large, SixelLayout{10, 20, 3, {}}, {534, 320}},
        L{M::sixel, Q::low, {0, 0, 0, 0}, large, SixelLayout{10, 20, 1, {}}, {10, 20}},
        // Only a cell size with both sides counts.
        L{M::sixel, Q::low, {0, 0, 1, 1}, {9, 0, {}}, SixelLayout{3, 6, 1, {}}, {3, 6}},
        // Full quality draws every screen pixel, and is high where cells are unknown
        // or the frame would not fit a renderer.
        L{M::sixel, Q::full, {0, 0, 160, 48}, large, SixelLayout{10, 20, 1, {}}, {1600, 960}},
        L{M::sixel, Q::full, {0, 0, 160, 48}, unknown, SixelLayout{5, 10, 1, {}}, {800, 480}},
        L{M::kitty, Q::full, {0, 0, 133, 39}, {9, 20, {}}, kitty, {1197, 780}},
        L{M::kitty, Q::full, {0, 0, 0, 0}, {1, 1, {}}, kitty, {1, 1}},
        L{M::kitty, Q::full, {0, 0, 65535, 65535}, {512, 512, {}}, kitty, {65535, 65535}}}) {
    SCOPED_TRACE(std::to_string(viewport.cols) + "x" + std::to_string(viewport.rows));
    if (layout) {
      EXPECT_EQ(sixel_layout(quality, viewport, display), *layout);
    }
    TerminalSurface surface(quality, method);
    surface.update_display(display);
    EXPECT_EQ(surface.frame_size(viewport), size);
  }
}

// A cell size the terminal reported stands in for an unknown one, never for a
// measured one.
TEST(FrameSize, ReportedCellSizeStandsInForAnUnknownOne) {
  TerminalSurface surface(Q::full, M::kitty);
  surface.set_reported_cell_size(8, 16);
  surface.update_display(TerminalDisplay{{}, {}, std::uint16_t{30}});
  EXPECT_EQ(surface.display(), (TerminalDisplay{8, 16, std::uint16_t{30}}));
  EXPECT_EQ(surface.frame_size({0, 0, 10, 5}), (FrameSize{80, 80}));
  surface.update_display(TerminalDisplay{9, 18, {}});
  EXPECT_EQ(surface.display(), (TerminalDisplay{9, 18, {}}));
}

// A viewport whose pixels exceed the largest image the terminal shows (or the
// presenter's largest side) is drawn over 1/k of its cells, centred.
TEST(SixelPlacement, LargestWholeFractionThatFits) {
  const auto limited = [](std::uint32_t cell_width, std::uint32_t cell_height,
                          std::optional<std::uint32_t> width, std::optional<std::uint32_t> height) {
    return TerminalDisplay{cell_width, cell_height, {}, width, height};
  };
  using P = std::tuple<Viewport, TerminalDisplay, Viewport, std::uint32_t>;
  for (const auto& [viewport, display, shown, reduction] :
       {// xterm -ti vt340 at 140 x 45 cells of 10 x 20 pixels: 1000 x 900 at most.
        P{{0, 0, 140, 44}, limited(10, 20, 1000, 900), {35, 11, 70, 22}, 2},
        P{{0, 0, 80, 23}, limited(10, 20, 1000, 1000), {0, 0, 80, 23}, 1},
        P{{0, 0, 140, 44}, limited(10, 20, {}, {}), {0, 0, 140, 44}, 1},
        // Only the height is too large: a third of 1800 pixels is 600.
        P{{4, 2, 30, 90}, limited(10, 20, 1000, 700), {14, 32, 10, 30}, 3},
        // No limit told: the presenter's own, 32768 pixels a side.
        P{{0, 0, 65535, 10}, limited(512, 512, {}, {}), {32736, 4, 63, 1}, 1024},
        // Not even one cell fits: one cell it is.
        P{{0, 0, 4, 4}, limited(10, 20, 5, 5), {1, 1, 1, 1}, 16}}) {
    const SixelPlacement placement = sixel_placement(Q::high, viewport, display);
    EXPECT_EQ(placement.shown, shown) << viewport.cols << "x" << viewport.rows;
    EXPECT_EQ(placement.reduction, reduction) << viewport.cols << "x" << viewport.rows;
  }
}

std::uint32_t following(std::uint32_t number) {
  return number == ImageRange::kLastNumber ? ImageRangeLease::kFirstPrivateNumber : number + 1;
}

// The first lease alive takes the shared range, each further one a private
// range, and freed ranges come back last; once none is alive, the shared
// range is taken again.
TEST(ImageRangeLease, FurtherLeasesArePrivateAndFreedRangesComeBackLast) {
  std::optional<ImageRangeLease> first = ImageRangeLease::acquire(false);
  ASSERT_TRUE(first->range().shared());
  const std::uint32_t freed = ImageRangeLease::acquire(false).range().number();
  ASSERT_GE(freed, ImageRangeLease::kFirstPrivateNumber);
  std::optional<ImageRangeLease> second = ImageRangeLease::acquire(false);
  EXPECT_EQ(second->range().number(), following(freed));
  first.reset();
  // Another lease is alive, so even a lone new one keeps to itself.
  EXPECT_EQ(ImageRangeLease::acquire(false).range().number(), following(second->range().number()));
  second.reset();
  EXPECT_FALSE(ImageRangeLease::acquire(true).range().shared());
  EXPECT_TRUE(ImageRangeLease::acquire(false).range().shared());
  EXPECT_TRUE(ImageRangeLease().range().shared());  // outside the registry
}

}  // namespace
}  // namespace facetview
