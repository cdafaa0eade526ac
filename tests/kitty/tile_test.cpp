#include "kitty/tile.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace facetview {
namespace {

struct GridCase {
  Viewport viewport;
  std::uint32_t cell_width, cell_height;
  std::size_t grid_cols, grid_rows;
  std::uint16_t last_cell_cols, last_cell_rows;
};

class TileGridShape : public testing::TestWithParam<GridCase> {};

TEST_P(TileGridShape, CoversTheFrameExactlyInRowMajorOrder) {
  const GridCase& c = GetParam();
  const std::vector<Tile> tiles = build_tile_grid(c.viewport, 8, 4, c.cell_width, c.cell_height);
  ASSERT_EQ(tiles.size(), c.grid_cols * c.grid_rows);
  if (tiles.empty()) return;
  EXPECT_EQ(tiles.back().cell_cols, c.last_cell_cols);
  EXPECT_EQ(tiles.back().cell_rows, c.last_cell_rows);

  const std::uint32_t width = c.cell_width * c.viewport.cols;
  const std::uint32_t height = c.cell_height * c.viewport.rows;
  std::vector<int> covered(std::size_t{width} * height, 0);
  for (std::size_t i = 0; i < tiles.size(); ++i) {
    const Tile& tile = tiles[i];
    EXPECT_EQ(tile.cell_col, 8 * (i % c.grid_cols));
    EXPECT_EQ(tile.cell_row, 4 * (i / c.grid_cols));
    EXPECT_EQ(tile.pixel_width, tile.cell_cols * c.cell_width);
    EXPECT_EQ(tile.pixel_height, tile.cell_rows * c.cell_height);
    EXPECT_FALSE(tile.shown);
    for (std::uint32_t y = tile.y; y < tile.y + tile.pixel_height; ++y) {
      for (std::uint32_t x = tile.x; x < tile.x + tile.pixel_width; ++x) ++covered[y * width + x];
    }
  }
  EXPECT_EQ(std::count(covered.begin(), covered.end(), 1), std::ssize(covered));
}

INSTANTIATE_TEST_SUITE_P(
    Viewports, TileGridShape,
    testing::Values(GridCase{{0, 0, 1, 1}, 3, 6, 1, 1, 1, 1},
                    GridCase{{0, 0, 8, 4}, 2, 2, 1, 1, 8, 4},
                    GridCase{{0, 0, 9, 5}, 2, 2, 2, 2, 1, 1},
                    GridCase{{5, 5, 81, 4}, 1, 2, 11, 1, 1, 4},  // last column 1 cell wide
                    GridCase{{0, 3, 8, 6}, 2, 1, 1, 2, 8, 2},    // second row 2 cells high
                    GridCase{{0, 0, 160, 48}, 5, 10, 20, 12, 8, 4},
                    GridCase{{0, 0, 0, 5}, 4, 4, 0, 2, 0, 0},  // no columns: no tiles
                    GridCase{{0, 0, 7, 0}, 4, 4, 1, 0, 0, 0}));

TEST(TilePixels, DifferOnlyForChangesInsideTheRectangle) {
  const std::uint32_t width = 12, height = 10;
  const std::vector<std::uint8_t> previous(width * height * 4, 9);
  const Tile tile{.x = 4, .y = 2, .pixel_width = 5, .pixel_height = 6};
  struct Change {
    std::uint32_t x, y;
    std::size_t channel;
    bool inside;
  };
  const Change changes[] = {
      {4, 2, 0, true},  {8, 7, 3, true},  {6, 5, 2, true},  {3, 2, 3, false},
      {9, 2, 0, false}, {4, 1, 3, false}, {8, 8, 0, false}, {11, 9, 3, false},
  };
  for (const Change& change : changes) {
    std::vector<std::uint8_t> frame = previous;
    frame[(change.y * width + change.x) * 4 + change.channel] = 10;
    EXPECT_EQ(tile_pixels_differ(tile, frame, previous, width), change.inside)
        << change.x << "," << change.y;
  }
  EXPECT_FALSE(tile_pixels_differ(tile, previous, previous, width));
}

}  // namespace
}  // namespace facetview
