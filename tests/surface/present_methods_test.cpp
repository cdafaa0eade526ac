#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <tuple>

#include "support/memory_output.hpp"
#include "surface/present_method.hpp"
#include "surface/terminal_surface.hpp"

namespace facetview {
namespace {

using Q = Quality;
using M = PresentMethod;

TEST(PresentMethod, NamesAreExact) {
  using N = std::tuple<std::string_view, std::optional<M>>;
  for (const auto& [text, method] :
       {N{"kitty", M::kitty}, N{"sixel", M::sixel}, N{"blocks", M::blocks}, N{"auto", {}},
        N{"Kitty", {}}, N{"block", {}}, N{"", {}}}) {
    EXPECT_EQ(parse_present_method(text), method) << text;
    if (method) {
      EXPECT_EQ(present_method_name(*method), text);
    }
  }
}

TEST(SixelLayout, RealCellsWithinTheQualitysBudget) {
  const TerminalDisplay unknown;
  const TerminalDisplay xterm{7, 14, std::uint16_t{50}};
  const TerminalDisplay large{10, 20, {}};
  using L = std::tuple<Q, Viewport, TerminalDisplay, SixelLayout, std::uint32_t, std::uint32_t>;
  for (const auto& [quality, viewport, display, layout, width, height] :
       {// Unknown cells: the quality's own, 4 x 8 at medium.
        L{Q::medium, {0, 0, 80, 24}, unknown, {4, 8, 1, {}}, 320, 192},
        L{Q::medium, {0, 0, 80, 23}, xterm, {7, 14, 1, 50}, 560, 322},
        // 1600 x 960 pixels: within 420000 at half size, 260000 at a third.
        L{Q::high, {0, 0, 160, 48}, large, {10, 20, 2, {}}, 800, 480},
        L{Q::medium, {0, 0, 160, 48}, large, {10, 20, 3, {}}, 534, 320},
        L{Q::low, {0, 0, 0, 0}, large, {10, 20, 1, {}}, 10, 20},
        // Only a cell size with both sides counts.
        L{Q::low, {0, 0, 1, 1}, TerminalDisplay{9, 0, {}}, {3, 6, 1, {}}, 3, 6},
        // Full quality draws every screen pixel, and is high where cells are unknown.
        L{Q::full, {0, 0, 160, 48}, large, {10, 20, 1, {}}, 1600, 960},
        L{Q::full, {0, 0, 160, 48}, unknown, {5, 10, 1, {}}, 800, 480}}) {
    EXPECT_EQ(sixel_layout(quality, viewport, display), layout) << viewport.cols;
    TerminalSurface surface(quality, M::sixel);
    surface.update_display(display);
    EXPECT_EQ(surface.frame_size(viewport), (FrameSize{width, height})) << viewport.cols;
  }
}

// kitty frames at full quality have the display's cells, or high's where
// those are unknown or the frame would not fit a renderer; a reported cell
// size stands in for a measured one.
TEST(KittyFullQuality, CellsOfTheDisplay) {
  using F = std::tuple<TerminalDisplay, Viewport, FrameSize>;
  for (const auto& [display, viewport, size] :
       {F{{9, 20, {}}, {0, 0, 133, 39}, {1197, 780}}, F{{}, {0, 0, 133, 39}, {665, 390}},
        F{{1, 1, {}}, {0, 0, 0, 0}, {1, 1}},
        F{{512, 512, {}}, {0, 0, 65535, 65535}, {65535, 65535}}}) {
    TerminalSurface surface(Q::full, M::kitty);
    surface.update_display(display);
    EXPECT_EQ(surface.frame_size(viewport), size) << viewport.cols;
  }
  TerminalSurface reported(Q::full, M::kitty);
  reported.set_reported_cell_size(8, 16);
  reported.update_display(TerminalDisplay{});
  EXPECT_EQ(reported.frame_size({0, 0, 10, 5}), (FrameSize{80, 80}));
}

TEST(SixelLayout, ReportedCellSizeStandsInForAnUnknownOne) {
  TerminalSurface surface(Q::medium, M::sixel);
  surface.set_reported_cell_size(8, 16);
  surface.update_display(TerminalDisplay{{}, {}, std::uint16_t{30}});
  EXPECT_EQ(surface.display(), (TerminalDisplay{8, 16, std::uint16_t{30}}));
  surface.update_display(TerminalDisplay{9, 18, {}});
  EXPECT_EQ(surface.display(), (TerminalDisplay{9, 18, {}}));
}

// A viewport whose pixels exceed the largest image the terminal shows (or the
// presenter's largest side) is drawn over 1/k of its cells, centred.
TEST(SixelPlacement, LargestWholeFractionThatFits) {
  const auto limited = [](std::uint32_t cell_width, std::uint32_t cell_height,
                          std::optional<std::uint32_t> width, std::optional<std::uint32_t> height) {
    TerminalDisplay display{cell_width, cell_height, {}};
    display.sixel_max_width = width;
    display.sixel_max_height = height;
    return display;
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

// Cell sizes no terminal has are unknown, so that the quality's stand in and
// every frame that frame_size promises is one the presenter takes.
TEST(SixelPlacement, AbsurdCellSizesAreUnknown) {
  for (const std::uint32_t side : {513u, 1000u, 65535u}) {
    TerminalSurface surface(Q::low, M::sixel);
    surface.set_reported_cell_size(side, side);
    surface.update_display(TerminalDisplay{side, 20, {}});
    EXPECT_EQ(surface.display().cell_width, std::nullopt) << side;
    const Viewport viewport{0, 0, 80, 23};
    EXPECT_EQ(surface.frame_size(viewport), (FrameSize{240, 138})) << side;
    MemoryOutput out;
    const Result<PresentedFrame> frame =
        surface.render_and_present(out, Mesh::demo_mesh(), default_camera, viewport);
    ASSERT_TRUE(frame.ok()) << frame.error().message();
    EXPECT_EQ((FrameSize{frame->width, frame->height}), (FrameSize{240, 138}));
  }
}

// Every method renders at the size frame_size promises, and clear() takes away
// what it showed: the images for kitty, the cells for the others.
class EveryMethod : public testing::TestWithParam<M> {};

TEST_P(EveryMethod, RendersAtItsFrameSizeAndClearsWhatItShowed) {
  TerminalSurface surface(Q::medium, GetParam());
  surface.update_display(TerminalDisplay{6, 12, {}});
  EXPECT_EQ(surface.method(), GetParam());
  const Viewport viewport{1, 2, 12, 5};
  MemoryOutput out;
  const Result<PresentedFrame> frame =
      surface.render_and_present(out, Mesh::demo_mesh(), default_camera, viewport);
  ASSERT_TRUE(frame.ok()) << frame.error().message();
  const FrameSize expected[] = {{48, 40}, {72, 60}, {12, 10}};  // in the order of the methods
  EXPECT_EQ((FrameSize{frame->width, frame->height}), expected[static_cast<int>(GetParam())]);
  EXPECT_EQ(surface.frame_size(viewport), expected[static_cast<int>(GetParam())]);
  EXPECT_EQ(out.flushes, 1);
  EXPECT_GT(out.take().size(), 100u);

  ASSERT_TRUE(surface.clear(out));
  const std::string blank =
      "\x1b[?7l\x1b[0m\x1b[3;2H            \x1b[4;2H            \x1b[5;2H            "
      "\x1b[6;2H            \x1b[7;2H            \x1b[?7h";
  EXPECT_EQ(out.take(), GetParam() == M::kitty ? "\x1b_Ga=d,d=A,q=2\x1b\\" : blank);
  EXPECT_EQ(out.flushes, 1);
  // Afterwards the whole frame goes out again.
  ASSERT_TRUE(surface.render_and_present(out, Mesh::demo_mesh(), default_camera, viewport).ok());
  EXPECT_GT(out.bytes.size(), 100u);
}

INSTANTIATE_TEST_SUITE_P(Methods, EveryMethod, testing::Values(M::kitty, M::sixel, M::blocks));

}  // namespace
}  // namespace facetview
