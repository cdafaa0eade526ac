#include "kitty/tile.hpp"

#include <algorithm>
#include <cstring>

#include "common/frame_compare.hpp"
#include "common/rgba.hpp"

namespace facetview {

namespace {

std::size_t ceil_div(std::size_t total, std::size_t part) {
  return (total + part - 1) / part;
}

std::size_t pixel_offset(std::uint32_t x, std::uint32_t y, std::uint32_t frame_width) {
  return (std::size_t{y} * frame_width + x) * kBytesPerPixel;
}

}  // namespace

std::vector<Tile> build_tile_grid(Viewport viewport, std::uint16_t tile_cols,
                                  std::uint16_t tile_rows, std::uint32_t cell_width,
                                  std::uint32_t cell_height) {
  const std::size_t grid_cols = ceil_div(viewport.cols, tile_cols);
  const std::size_t grid_rows = ceil_div(viewport.rows, tile_rows);
  std::vector<Tile> tiles;
  tiles.reserve(grid_cols * grid_rows);
  for (std::size_t ty = 0; ty < grid_rows; ++ty) {
    for (std::size_t tx = 0; tx < grid_cols; ++tx) {
      Tile tile;
      tile.cell_col = static_cast<std::uint16_t>(tile_cols * tx);
      tile.cell_row = static_cast<std::uint16_t>(tile_rows * ty);
      tile.cell_cols = std::min<std::uint16_t>(tile_cols, viewport.cols - tile.cell_col);
      tile.cell_rows = std::min<std::uint16_t>(tile_rows, viewport.rows - tile.cell_row);
      tile.x = cell_width * tile.cell_col;
      tile.y = cell_height * tile.cell_row;
      tile.pixel_width = cell_width * tile.cell_cols;
      tile.pixel_height = cell_height * tile.cell_rows;
      tile.viewport_col = viewport.col;
      tile.viewport_row = viewport.row;
      tiles.push_back(tile);
    }
  }
  return tiles;
}

bool tile_pixels_differ(const Tile& tile, std::span<const std::uint8_t> frame,
                        std::span<const std::uint8_t> previous, std::uint32_t frame_width) {
  return pixels_differ(frame, previous, frame_width,
                       PixelRect{tile.x, tile.y, tile.pixel_width, tile.pixel_height});
}

void copy_tile_pixels(const Tile& tile, std::span<const std::uint8_t> frame,
                      std::span<std::uint8_t> copy, std::uint32_t frame_width) {
  copy_pixels(frame, copy, frame_width,
              PixelRect{tile.x, tile.y, tile.pixel_width, tile.pixel_height});
}

void gather_tile_pixels(const Tile& tile, std::span<const std::uint8_t> frame,
                        std::uint32_t frame_width, std::vector<std::uint8_t>& pixels) {
  const std::size_t row_bytes = std::size_t{tile.pixel_width} * kBytesPerPixel;
  const std::size_t stride = std::size_t{frame_width} * kBytesPerPixel;
  pixels.resize(row_bytes * tile.pixel_height);
  if (pixels.empty()) return;
  const std::uint8_t* source = frame.data() + pixel_offset(tile.x, tile.y, frame_width);
  for (std::uint32_t row = 0; row < tile.pixel_height; ++row, source += stride) {
    std::memcpy(pixels.data() + row * row_bytes, source, row_bytes);
  }
}

}  // namespace facetview
