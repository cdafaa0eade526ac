#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "blocks/palette_256.hpp"
#include "blocks/palette_256_dither.hpp"
#include "blocks/presenter.hpp"
#include "support/cell_screen.hpp"
#include "support/memory_output.hpp"

namespace facetview {
namespace {

// A frame's text within its synchronized update.
std::string framed(std::string_view body) {
  return "\x1b[?2026h" + std::string(body) + "\x1b[0m\x1b[?2026l";
}

TEST(Palette256, NearestEntryOfCubeOrGreyRamp) {
  using C = std::tuple<Rgb, int>;
  for (const auto& [colour, index] :
       {C{{0, 0, 0}, 16}, C{{255, 255, 255}, 231}, C{{255, 0, 0}, 196}, C{{0, 0, 255}, 21},
        C{{95, 135, 175}, 67}, C{{128, 128, 128}, 244}, C{{10, 10, 10}, 232},
        C{{238, 238, 238}, 255}, C{{120, 0, 0}, 88}, C{{47, 48, 47}, 236}}) {
    EXPECT_EQ(nearest_palette_index(colour), index)
        << int(colour.r) << "," << int(colour.g) << "," << int(colour.b);
  }
  // Every entry from 16 up is its own nearest.
  for (int index = 16; index < 256; ++index) {
    EXPECT_EQ(nearest_palette_index(palette_colour(static_cast<std::uint8_t>(index))), index);
  }
}

// A frame of cols x 2 * rows pixels from a list of colours, row by row.
std::vector<std::uint8_t> frame_of(const std::vector<Rgb>& pixels) {
  std::vector<std::uint8_t> frame;
  for (const Rgb& pixel : pixels) frame.insert(frame.end(), {pixel.r, pixel.g, pixel.b, 255});
  return frame;
}

constexpr Rgb kRed{255, 0, 0}, kBlue{0, 0, 255}, kGreen{0, 255, 0}, kWhite{255, 255, 255};

// The first frame writes every cell, the same frame nothing; then only the
// changed cells go out, reached by short moves, with the colours they change.
TEST(BlocksPresenter, WritesOnlyChangedCellsWithShortMovesAndColourChanges) {
  BlocksPresenter presenter(ColourDepth::true_colour);
  MemoryOutput out;
  // 5 x 1 cells: red over blue, then green over green (a space on green), then white.
  std::vector<Rgb> pixels{kRed,  kGreen, kWhite, kWhite, kWhite,
                          kBlue, kGreen, kWhite, kWhite, kWhite};
  const FrameGeometry geometry{5, 2, Viewport{3, 2, 5, 1}, {}};
  ASSERT_TRUE(presenter.present(out, frame_of(pixels), geometry));
  EXPECT_EQ(out.take(), framed("\x1b[3;4H\x1b[38;2;255;0;0;48;2;0;0;255m\xe2\x96\x80"
                               "\x1b[48;2;0;255;0m \x1b[48;2;255;255;255m   "));
  ASSERT_TRUE(presenter.present(out, frame_of(pixels), geometry));
  EXPECT_EQ(std::pair(out.bytes, out.flushes), std::pair(std::string(), 1));
  pixels[1] = kRed;      // cell 1, upper
  pixels[5 + 4] = kRed;  // cell 4, lower
  ASSERT_TRUE(presenter.present(out, frame_of(pixels), geometry));
  EXPECT_EQ(out.take(), framed("\x1b[3;5H\x1b[38;2;255;0;0;48;2;0;255;0m\xe2\x96\x80"
                               "\x1b[2C\x1b[38;2;255;255;255;48;2;255;0;0m\xe2\x96\x80"));
}

// Random frames, each changing a few cells of the one before, replayed on a
// model of the screen: after every frame each cell shows its two pixels, in
// true colour or as the palette entries the dither picks.
class BlocksReplay : public testing::TestWithParam<ColourDepth> {};

TEST_P(BlocksReplay, ScreenShowsEveryFrame) {
  constexpr std::uint32_t cols = 9, rows = 4;
  const Viewport viewport{2, 1, cols, rows};
  BlocksPresenter presenter(GetParam());
  MemoryOutput out;
  CellScreen screen(cols + 2, rows + 1);
  Palette256Dither dither;  // the pattern the presenter follows
  std::mt19937 random(7);
  // Few colours, so that neighbours often share one and runs of equal cells occur.
  const Rgb colours[] = {kRed, kBlue, kGreen, kWhite, {30, 40, 50}};
  std::vector<Rgb> pixels(cols * rows * 2);
  for (Rgb& pixel : pixels) pixel = colours[random() % 5];
  for (int frame = 0; frame < 12; ++frame) {
    const bool lost = frame == 5;  // the next frame redraws
    out.fail_from_now(lost);
    const Status shown = presenter.present(out, frame_of(pixels), {cols, rows * 2, viewport, {}});
    ASSERT_EQ(shown.ok(), !lost);
    out.fail_from_now(false);
    screen.replay(out.take());
    if (lost) screen = CellScreen(cols + 2, rows + 1);  // what the terminal showed is unknown
    for (std::uint32_t y = 0; y < 2 * rows && !lost; ++y) {
      for (std::uint32_t x = 0; x < cols; ++x) {
        Rgb pixel = pixels[y * cols + x];
        if (GetParam() == ColourDepth::palette_256) {
          pixel = palette_colour(dither.index_at(pixel, x, y));
        }
        const auto [upper, lower] = screen.pixels(x + 2, y / 2 + 1);
        EXPECT_EQ(y % 2 == 0 ? upper : lower, pixel) << frame << ": " << x << "," << y;
      }
    }
    for (int change = 0; change < 6; ++change)
      pixels[random() % pixels.size()] = colours[random() % 5];
  }
}

INSTANTIATE_TEST_SUITE_P(Depths, BlocksReplay,
                         testing::Values(ColourDepth::true_colour, ColourDepth::palette_256));

TEST(BlocksPresenter, NewViewportBlanksTheOldOneAndClearBlanksTheLast) {
  BlocksPresenter presenter(ColourDepth::true_colour);
  MemoryOutput out;
  ASSERT_TRUE(presenter.present(out, frame_of({kRed, kRed}), {1, 2, Viewport{0, 0, 1, 1}, {}}));
  out.take();
  ASSERT_TRUE(
      presenter.present(out, frame_of({kRed, kRed, kRed, kRed}), {2, 2, Viewport{4, 3, 2, 1}, {}}));
  EXPECT_EQ(out.take(), framed("\x1b[?7l\x1b[0m\x1b[1;1H \x1b[?7h\x1b[4;5H\x1b[48;2;255;0;0m  "));
  const int flushes = out.flushes;
  ASSERT_TRUE(presenter.clear(out));
  EXPECT_EQ(out.take(), "\x1b[?7l\x1b[0m\x1b[4;5H  \x1b[?7h");
  EXPECT_EQ(out.flushes, flushes);
  ASSERT_TRUE(presenter.clear(out));  // nothing shown any more
  EXPECT_EQ(out.bytes, "");
  // After a clear the next frame is drawn whole.
  ASSERT_TRUE(
      presenter.present(out, frame_of({kRed, kRed, kRed, kRed}), {2, 2, Viewport{4, 3, 2, 1}, {}}));
  EXPECT_EQ(out.take(), framed("\x1b[4;5H\x1b[48;2;255;0;0m  "));
}

TEST(BlocksPresenter, RejectsFramesThatAreNotTwoPixelsPerCell) {
  BlocksPresenter presenter(ColourDepth::true_colour);
  MemoryOutput out;
  using S = std::tuple<std::uint32_t, std::uint32_t, std::size_t, const char*>;
  for (const auto& [width, height, size, message] :
       {S{3, 2, 24, "framebuffer size 3x2 does not give two pixels per cell of viewport 2x1 cells"},
        S{2, 4, 32, "framebuffer size 2x4 does not give two pixels per cell of viewport 2x1 cells"},
        S{2, 2, 12, "frame of 12 bytes does not match framebuffer size 2x2"}}) {
    const std::vector<std::uint8_t> frame(size, 0);
    const Status shown = presenter.present(out, frame, {width, height, Viewport{0, 0, 2, 1}, {}});
    ASSERT_FALSE(shown.ok());
    EXPECT_EQ(shown.error().message(), message);
  }
  EXPECT_EQ(out.bytes, "");
  // A viewport of 0 columns is sized as one cell and shows nothing.
  ASSERT_TRUE(presenter.present(out, frame_of({kRed, kRed}), {1, 2, Viewport{0, 0, 0, 1}, {}}));
  EXPECT_EQ(out.bytes, "");
}

}  // namespace
}  // namespace facetview
