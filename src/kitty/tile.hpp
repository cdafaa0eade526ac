// The tiles that a viewport is cut into: each one a rectangle of cells shown
// as a terminal image of its own.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "common/viewport.hpp"

namespace facetview {

struct Tile {
  bool shown = false;     // an image of this tile is on screen
  std::uint8_t slot = 0;  // which of the tile's two image ids is on screen, while shown
  std::uint32_t x = 0;    // pixel position of the top-left corner in the frame
  std::uint32_t y = 0;
  std::uint32_t pixel_width = 0;
  std::uint32_t pixel_height = 0;
  std::uint16_t viewport_col = 0;  // the viewport's top-left cell on screen
  std::uint16_t viewport_row = 0;
  std::uint16_t cell_col = 0;  // offset of the top-left cell from the viewport's
  std::uint16_t cell_row = 0;
  std::uint16_t cell_cols = 0;
  std::uint16_t cell_rows = 0;

  friend bool operator==(const Tile&, const Tile&) = default;
};

// Cuts the viewport into tiles of at most tile_cols by tile_rows cells, in
// row-major order. Cells are cell_width by cell_height pixels.
std::vector<Tile> build_tile_grid(Viewport viewport, std::uint16_t tile_cols,
                                  std::uint16_t tile_rows, std::uint32_t cell_width,
                                  std::uint32_t cell_height);

// Whether the tile's pixels differ between two frames of frame_width pixels
// per row, compared row by row up to the first differing row.
bool tile_pixels_differ(const Tile& tile, std::span<const std::uint8_t> frame,
                        std::span<const std::uint8_t> previous, std::uint32_t frame_width);

// Copies the tile's pixels of `frame` to the same place in `copy`, a frame
// of the same size.
void copy_tile_pixels(const Tile& tile, std::span<const std::uint8_t> frame,
                      std::span<std::uint8_t> copy, std::uint32_t frame_width);

// Replaces pixels with the tile's rows of the frame, top to bottom, no gaps.
void gather_tile_pixels(const Tile& tile, std::span<const std::uint8_t> frame,
                        std::uint32_t frame_width, std::vector<std::uint8_t>& pixels);

}  // namespace facetview
