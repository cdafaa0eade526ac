#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "sixel/encoder.hpp"
#include "sixel/nearest_colour.hpp"
#include "sixel/palette.hpp"
#include "sixel/presenter.hpp"
#include "support/memory_output.hpp"

namespace facetview {
namespace {

TEST(SixelBands, FewestCellRowsWhoseHeightIsAMultipleOfSix) {
  using B = std::tuple<std::uint32_t, std::uint32_t>;
  for (const auto& [cell_height, rows] : {B{6, 1}, B{12, 1}, B{18, 1}, B{8, 3}, B{9, 2}, B{10, 3},
                                          B{16, 3}, B{17, 6}, B{20, 3}, B{1, 6}, B{0, 1}}) {
    EXPECT_EQ(sixel_band_rows(cell_height), rows) << cell_height;
  }
}

TEST(SixelImage, EnlargedRunLengthCodedAndCroppedToTheBand) {
  const Rgb palette[] = {{255, 0, 0}, {0, 0, 255}};
  const std::uint8_t indices[] = {0, 1,   // frame row 0
                                  1, 1,   // 1
                                  0, 0,   // 2
                                  1, 0};  // 3
  const IndexedFrame frame{indices, 2, 4};
  using I = std::tuple<ScreenBand, std::string_view>;
  for (const auto& [band, data] : {
           // Two frame columns doubled, cut after 3 screen columns; rows 0 and 1 of one sixel.
           I{{2, 0, 3, 2}, "\"1;1;3;2#0;2;100;0;0#1;2;0;0;100#0BB$#1??B"},
           // Scale 5: runs of 5; screen rows 3 to 8 are frame rows 0, 0, 1, 1, 1, 1.
           I{{5, 3, 10, 6}, "\"1;1;10;6#0;2;100;0;0#1;2;0;0;100#0!5B$#1!5{!5~"},
           // Two sixel rows, frame rows 0, 0, 1, 1, 2, 2 and then 3 alone; colours in
           // the order they first occur.
           I{{2, 0, 4, 7}, "\"1;1;4;7#0;2;100;0;0#1;2;0;0;100#0rroo$#1KKNN-#1@@$#0??@@"},
       }) {
    std::string out;
    append_sixel_image(out, frame, palette, band);
    EXPECT_EQ(out, "\x1bP0;1q" + std::string(data) + "\x1b\\");
  }
}

// The pruned search against trying every entry, on random palettes of every
// size, ties included (palettes with repeated colours).
TEST(NearestColour, SameAsTryingEveryEntry) {
  std::mt19937 random(5);
  const auto channel = [&] { return static_cast<std::uint8_t>(random() % 256); };
  for (const std::size_t size : {1u, 2u, 7u, 64u, 256u}) {
    std::vector<Rgb> palette(size);
    for (Rgb& colour : palette) colour = {channel(), channel(), channel()};
    if (size > 2) palette[size - 1] = palette[0];
    NearestColour nearest;
    nearest.set_palette(palette);
    for (int probe = 0; probe < 2000; ++probe) {
      const Rgb colour{channel(), channel(), channel()};
      const auto distance = [&](const Rgb& e) {
        const int r = colour.r - e.r, g = colour.g - e.g, b = colour.b - e.b;
        return r * r + g * g + b * b;
      };
      std::size_t best = 0;
      for (std::size_t index = 1; index < size; ++index)
        if (distance(palette[index]) < distance(palette[best])) best = index;
      ASSERT_EQ(nearest.index_of(colour), best) << size;
    }
  }
}

// A smooth frame of far more colours than registers: every register is used,
// each as a percentage that the terminal shows, and the same pixels always
// give the same palette and indices.
TEST(SixelPalette, FillsEveryRegisterItIsGivenAndIsDeterministic) {
  constexpr std::uint32_t width = 64, height = 48;
  std::vector<std::uint8_t> frame;
  for (std::uint32_t y = 0; y < height; ++y) {
    for (std::uint32_t x = 0; x < width; ++x) {
      frame.insert(frame.end(), {static_cast<std::uint8_t>(x * 4), static_cast<std::uint8_t>(y * 5),
                                 static_cast<std::uint8_t>((x + y) * 2), 255});
    }
  }
  for (const std::size_t registers : {1u, 16u, 256u}) {
    SixelPalette palette, again;
    palette.choose(frame, width, height, registers);
    again.choose(frame, width, height, registers);
    EXPECT_EQ(palette.colours().size(), registers);
    EXPECT_TRUE(std::ranges::equal(palette.indices(), again.indices()));
    EXPECT_TRUE(std::ranges::equal(palette.colours(), again.colours()));
    for (const Rgb& colour : palette.colours()) {
      EXPECT_EQ(colour.g, shown_channel(sixel_percent(colour.g)));
    }
    ASSERT_EQ(palette.indices().size(), std::size_t{width} * height);
    EXPECT_LT(*std::ranges::max_element(palette.indices()), registers);
  }
}

// The terminal's pixels as the presenter's output paints them: each sixel
// image is drawn from the cell of the cursor position before it, colours as
// percentages, pixels it does not set left as they were. Enough of the format
// for what the presenter writes; anything else fails the test.
struct SixelScreen {
  std::uint32_t width, height, cell_width, cell_height;
  std::vector<std::optional<Rgb>> pixels = std::vector<std::optional<Rgb>>(width * height);

  // Returns the number of images.
  int replay(const std::string& text) {
    int images = 0;
    std::uint32_t row = 0, col = 0;
    for (std::size_t at = 0; (at = text.find('\x1b', at)) != std::string::npos; ++at) {
      if (std::sscanf(text.c_str() + at, "\x1b[%u;%uH", &row, &col) == 2) {
        --row, --col;
      } else if (text.compare(at, 2, "\x1bP") == 0) {
        const std::string_view image(text.data() + at, text.find("\x1b\\", at) - at);
        EXPECT_TRUE(paint(image, (row * cell_height) * width + col * cell_width)) << images;
        ++images;
      }
    }
    return images;
  }

  // Paints "ESC P ... q" and its data from the pixel `origin` on, within the
  // 1:1 raster attributes the image must begin with.
  bool paint(std::string_view image, std::size_t origin) {
    std::size_t at = image.find('q');
    if (at == std::string_view::npos || image.compare(at, 6, "q\"1;1;") != 0) return false;
    const std::vector<std::uint32_t> raster = numbers(image, at += 2);
    std::vector<Rgb> registers(256);
    std::size_t colour = 0;
    std::uint32_t x = 0, band = 0;
    while (at < image.size() && raster.size() == 4) {
      const char c = image[at];
      if (c == '#') {
        const std::vector<std::uint32_t> entry = numbers(image, ++at);
        if (entry[0] >= 256 || (entry.size() != 1 && entry.size() != 5)) return false;
        colour = entry[0];
        if (entry.size() == 1) continue;
        if (entry[1] != 2 || std::max({entry[2], entry[3], entry[4]}) > 100) return false;
        const auto shown = [](std::uint32_t percent) {
          return static_cast<std::uint8_t>((percent * 255 + 50) / 100);
        };
        registers[colour] = {shown(entry[2]), shown(entry[3]), shown(entry[4])};
      } else if (c == '$' || c == '-') {
        x = 0, band += c == '-' ? 6 : 0, ++at;
      } else {
        const std::uint32_t repeat = c == '!' ? numbers(image, ++at)[0] : 1;
        if (at >= image.size() || image[at] < '?' || image[at] > '~') return false;
        for (std::uint32_t step = 0; step < repeat; ++step, ++x) {
          for (std::uint32_t line = 0; line < 6; ++line) {
            if (((image[at] - '?') >> line & 1) == 0) continue;
            if (x >= raster[2] || band + line >= raster[3]) return false;
            pixels.at(origin + (band + line) * width + x) = registers[colour];
          }
        }
        ++at;
      }
    }
    return raster.size() == 4;
  }

  // Numbers separated by ';' from text[at]; at ends on the first other byte.
  static std::vector<std::uint32_t> numbers(std::string_view text, std::size_t& at) {
    std::vector<std::uint32_t> numbers{0};
    for (; at < text.size() && ((text[at] >= '0' && text[at] <= '9') || text[at] == ';'); ++at) {
      if (text[at] == ';') numbers.push_back(0);
      if (text[at] != ';') numbers.back() = numbers.back() * 10 + std::uint32_t(text[at] - '0');
    }
    return numbers;
  }
};

// A frame of stripes 3 pixels wide in colours from a small set.
std::vector<std::uint8_t> striped_frame(std::uint32_t width, std::uint32_t height, unsigned seed) {
  const Rgb colours[] = {
      {200, 30, 30}, {30, 200, 30}, {30, 30, 200}, {240, 240, 240}, {10, 10, 10}};
  std::mt19937 random(seed);
  std::vector<Rgb> stripes(width / 3 + 1);
  for (Rgb& stripe : stripes) stripe = colours[random() % 5];
  std::vector<std::uint8_t> frame;
  for (std::uint32_t y = 0; y < height; ++y) {
    for (std::uint32_t x = 0; x < width; ++x) {
      frame.insert(frame.end(), {stripes[x / 3].r, stripes[x / 3].g, stripes[x / 3].b, 255});
    }
  }
  return frame;
}

class SixelPresenterTest : public testing::Test {
 protected:
  Status show(const std::vector<std::uint8_t>& frame, std::uint32_t width, Viewport viewport,
              SixelLayout layout) {
    const auto height = static_cast<std::uint32_t>(frame.size() / 4 / width);
    return presenter.present(out, frame, {width, height, viewport, layout});
  }
  SixelPresenter presenter;
  MemoryOutput out;
};

// Frames of 5 x 4 cells of 7 x 10 pixels at scale 2; each frame changes one
// cell row of the one before, and only its band of 3 cell rows goes out again.
TEST_F(SixelPresenterTest, ScreenShowsEveryFrameAndOnlyChangedBandsAreSent) {
  const Viewport viewport{0, 0, 5, 4};
  const SixelLayout layout{7, 10, 2, {}};
  const std::uint32_t width = 18, height = 20;
  ASSERT_EQ(std::pair(sixel_frame_width(viewport, layout), sixel_frame_height(viewport, layout)),
            std::pair(width, height));
  SixelScreen screen{35, 40, 7, 10};
  std::vector<std::uint8_t> frame = striped_frame(width, height, 1);
  const auto expect_screen_shows_frame = [&] {
    int wrong = 0;
    for (std::uint32_t i = 0; i < 35 * 40; ++i) {
      const std::uint8_t* pixel = &frame[(i / 35 / 2 * width + i % 35 / 2) * 4];
      const std::optional<Rgb> seen = screen.pixels[i];
      // Fewer colours than registers: each is kept, off only by the rounding
      // of sixel's percentages.
      wrong += !seen || std::abs(seen->r - pixel[0]) > 1 || std::abs(seen->g - pixel[1]) > 1 ||
               std::abs(seen->b - pixel[2]) > 1;
    }
    EXPECT_EQ(wrong, 0);
  };
  ASSERT_TRUE(show(frame, width, viewport, layout));
  EXPECT_EQ(screen.replay(out.take()), 1);
  expect_screen_shows_frame();
  ASSERT_TRUE(show(frame, width, viewport, layout));
  EXPECT_EQ(out.bytes, "");
  // Cell row 3 (frame rows 15 to 19) gets other stripes: it is the second band,
  // of rows 3 and up.
  const std::vector<std::uint8_t> other = striped_frame(width, height, 9);
  std::copy(other.begin() + 15 * width * 4, other.end(), frame.begin() + 15 * width * 4);
  ASSERT_TRUE(show(frame, width, viewport, layout));
  const std::string band = out.take();
  EXPECT_TRUE(band.starts_with("\x1b[?2026h\x1b[4;1H\x1bP")) << band.substr(0, 20);
  EXPECT_EQ(screen.replay(band), 1);
  expect_screen_shows_frame();
}

// Rows 1 to 3 of a screen of 4 rows; a viewport that starts on the last row
// shows nothing.
TEST_F(SixelPresenterTest, NeverDrawsOnTheScreensLastRow) {
  const SixelLayout layout{6, 12, 1, std::uint16_t{4}};
  ASSERT_TRUE(show(striped_frame(24, 36, 2), 24, Viewport{2, 1, 4, 3}, layout));
  const std::string text = out.take();
  EXPECT_NE(text.find("\x1b[2;3H\x1bP"), std::string::npos);
  EXPECT_NE(text.find("\"1;1;24;24"), std::string::npos) << "two cell rows of 12 pixels";
  presenter = SixelPresenter();
  ASSERT_TRUE(show(striped_frame(6, 12, 3), 6, Viewport{0, 3, 1, 1}, layout));
  EXPECT_EQ(out.bytes, "");
}

TEST_F(SixelPresenterTest, FailedOutputSendsEverythingNextTimeAndClearBlanksTheCells) {
  const Viewport viewport{1, 2, 2, 2};
  const SixelLayout layout{3, 6, 1, {}};
  std::vector<std::uint8_t> frame = striped_frame(6, 12, 4);
  ASSERT_TRUE(show(frame, 6, viewport, layout));
  const std::string whole = out.take();
  out.fail_from_now(true);
  frame[0] ^= 0xff;
  EXPECT_FALSE(show(frame, 6, viewport, layout).ok());
  out.fail_from_now(false);
  frame[0] ^= 0xff;
  ASSERT_TRUE(show(frame, 6, viewport, layout));
  EXPECT_EQ(out.take(), whole);
  ASSERT_TRUE(presenter.clear(out));
  EXPECT_EQ(out.take(), "\x1b[?7l\x1b[0m\x1b[3;2H  \x1b[4;2H  \x1b[?7h");
  ASSERT_TRUE(presenter.clear(out));
  EXPECT_EQ(out.bytes, "");
}

// Over a viewport of 2x2 cells: a height one short, a width at scale 2, scale 0
// and a cell too wide for the frame's size to be computed.
TEST_F(SixelPresenterTest, RejectsFramesOfAnotherSize) {
  using S =
      std::tuple<std::uint32_t, std::uint32_t, SixelLayout, std::string_view, std::string_view>;
  for (const auto& [width, height, layout, size, cells] :
       {S{6, 11, {3, 6, 1, {}}, "6x11", "3x6 pixels at scale 1"},
        S{4, 6, {3, 6, 2, {}}, "4x6", "3x6 pixels at scale 2"},
        S{6, 12, {3, 6, 0, {}}, "6x12", "3x6 pixels at scale 0"},
        S{1, 1, {60000, 6, 1, {}}, "1x1", "60000x6 pixels at scale 1"}}) {
    const std::vector<std::uint8_t> frame(std::size_t{width} * height * 4);
    const Status shown =
        presenter.present(out, frame, {width, height, Viewport{0, 0, 2, 2}, layout});
    ASSERT_FALSE(shown.ok()) << size;
    EXPECT_EQ(shown.error().message(), "framebuffer size " + std::string(size) +
                                           " does not fit viewport 2x2 cells of " +
                                           std::string(cells));
  }
  EXPECT_EQ(out.bytes, "");
}

}  // namespace
}  // namespace facetview
