#include "kitty/tile.hpp"

#include <gtest/gtest.h>

#include <vector>

#include "transcript.hpp"

namespace facetview {
namespace {

Tile make_tile(std::uint32_t x, std::uint32_t y, std::uint32_t pixel_width,
               std::uint32_t pixel_height, std::uint16_t cell_col, std::uint16_t cell_row,
               std::uint16_t cell_cols, std::uint16_t cell_rows, Viewport viewport) {
  Tile tile;
  tile.x = x;
  tile.y = y;
  tile.pixel_width = pixel_width;
  tile.pixel_height = pixel_height;
  tile.viewport_col = viewport.col;
  tile.viewport_row = viewport.row;
  tile.cell_col = cell_col;
  tile.cell_row = cell_row;
  tile.cell_cols = cell_cols;
  tile.cell_rows = cell_rows;
  return tile;
}

TEST(TileGrid, CutsTheWorkedExampleIntoFourTiles) {
  const Viewport viewport{2, 1, 10, 5};
  const std::vector<Tile> expected = {
      make_tile(0, 0, 32, 32, 0, 0, 8, 4, viewport),
      make_tile(32, 0, 8, 32, 8, 0, 2, 4, viewport),
      make_tile(0, 32, 32, 8, 0, 4, 8, 1, viewport),
      make_tile(32, 32, 8, 8, 8, 4, 2, 1, viewport),
  };
  EXPECT_EQ(build_tile_grid(viewport, 8, 4, 4, 8), expected);
}

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
  const Tile tile = make_tile(4, 2, 5, 6, 0, 0, 1, 1, {});
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

TEST(TilePixels, GatherTheRectangleRowByRow) {
  const std::uint32_t width = 7, height = 5;
  std::vector<std::uint8_t> frame(width * height * 4);
  for (std::size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<std::uint8_t>(i);
  const Tile tiles[] = {
      make_tile(0, 0, 7, 5, 0, 0, 1, 1, {}), make_tile(2, 1, 3, 4, 0, 0, 1, 1, {}),
      make_tile(6, 4, 1, 1, 0, 0, 1, 1, {}), make_tile(3, 3, 0, 2, 0, 0, 1, 1, {})};
  std::vector<std::uint8_t> pixels(100, 1);  // reused, with stale contents
  for (const Tile& tile : tiles) {
    gather_tile_pixels(tile, frame, width, pixels);
    EXPECT_EQ(pixels, crop(frame, width, tile));
  }
}

}  // namespace
}  // namespace facetview
