#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <tuple>

#include "support/memory_output.hpp"
#include "surface/present_method.hpp"
#include "surface/presenter_choice.hpp"
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

// Every method renders at the size frame_size promises, sends its presenter's
// own bytes between a cursor save and restore (nothing for an unchanged frame),
// and clear() takes away what it showed: the images for kitty, the cells for
// the others, with the cursor kept likewise.
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
  MemoryOutput alone;
  const SixelPlacement placement = sixel_placement(Q::medium, viewport, surface.display());
  const FrameGeometry geometry{frame->width, frame->height,
                               GetParam() == M::sixel ? placement.shown : viewport,
                               GetParam() == M::sixel ? placement.layout : ScreenLayout{}};
  ASSERT_TRUE(make_presenter(GetParam(), ColourDepth::true_colour, ImageRange())
                  ->present(alone, surface.renderer().framebuffer(), geometry));
  EXPECT_GT(alone.bytes.size(), 100u);
  EXPECT_EQ(out.take(),
            "\x1b"
            "7" +
                alone.bytes +
                "\x1b"
                "8");
  ASSERT_TRUE(surface.render_and_present(out, Mesh::demo_mesh(), default_camera, viewport).ok());
  EXPECT_EQ(out.bytes, "");
  EXPECT_EQ(out.flushes, 1);

  ASSERT_TRUE(surface.clear(out));
  const std::string blank =
      "\x1b[?7l\x1b[0m\x1b[3;2H            \x1b[4;2H            \x1b[5;2H            "
      "\x1b[6;2H            \x1b[7;2H            \x1b[?7h";
  EXPECT_EQ(out.take(),
            "\x1b"
            "7" +
                (GetParam() == M::kitty ? "\x1b_Ga=d,d=A,q=2\x1b\\" : blank) +
                "\x1b"
                "8");
  EXPECT_EQ(out.flushes, 1);
  // Afterwards the whole frame goes out again.
  ASSERT_TRUE(surface.render_and_present(out, Mesh::demo_mesh(), default_camera, viewport).ok());
  EXPECT_GT(out.bytes.size(), 100u);
}

INSTANTIATE_TEST_SUITE_P(Methods, EveryMethod, testing::Values(M::kitty, M::sixel, M::blocks));

std::uint32_t following(std::uint32_t number) {
  return number == ImageRange::last_number ? ImageRangeLease::first_private_number : number + 1;
}

// The first surface alive takes the shared range and deletes every image;
// each further one, or one that asks for images of its own, draws in a private
// range and deletes only its own; freed ranges come back last.
TEST(ImageRangeLease, FurtherSurfacesKeepToThemselves) {
  std::optional<TerminalSurface> first(std::in_place, Q::medium, M::kitty, ColourDepth::true_colour,
                                       ImageRangeLease::acquire(false));
  ASSERT_TRUE(first->image_range().shared());
  const std::uint32_t second_number = ImageRangeLease::acquire(false).range().number();
  ASSERT_GE(second_number, ImageRangeLease::first_private_number);
  TerminalSurface second(Q::medium, M::kitty, ColourDepth::true_colour,
                         ImageRangeLease::acquire(false));
  const std::uint32_t number = second.image_range().number();
  EXPECT_EQ(number, following(second_number));  // freed just now, so the last to come back
  first.reset();
  // Another surface is alive, so even a lone new one keeps to itself.
  EXPECT_EQ(ImageRangeLease::acquire(false).range().number(), following(number));

  const Viewport viewport{0, 0, 8, 4};
  MemoryOutput out;
  ASSERT_TRUE(second.render_and_present(out, Mesh::demo_mesh(), default_camera, viewport).ok());
  EXPECT_EQ(out.bytes.find("a=d,d=A"), std::string::npos);
  const std::string own_id = "i=" + std::to_string(number * ImageRange::private_ids + 1);
  EXPECT_NE(out.take().find(own_id + ","), std::string::npos);
  ASSERT_TRUE(second.clear(out));
  EXPECT_EQ(out.bytes,
            "\x1b"
            "7\x1b_Ga=d,d=I,q=2," +
                own_id + "\x1b\\\x1b_Ga=d,d=I,q=2,i=" +
                std::to_string(number * ImageRange::private_ids + 2) +
                "\x1b\\\x1b"
                "8");
}

TEST(ImageRangeLease, AskingForOwnImagesAloneAndSharingAfterTheLastIsGone) {
  {
    const ImageRangeLease own = ImageRangeLease::acquire(true);
    EXPECT_FALSE(own.range().shared());
  }
  EXPECT_TRUE(ImageRangeLease::acquire(false).range().shared());
  EXPECT_TRUE(ImageRangeLease().range().shared());  // outside the registry
}

}  // namespace
}  // namespace facetview
