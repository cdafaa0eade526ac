#include "blocks/presenter.hpp"

#include <algorithm>
#include <string>

#include "common/frame_compare.hpp"
#include "common/terminal_text.hpp"

namespace facetview {

namespace {

// U+2580 UPPER HALF BLOCK: the foreground fills the upper half of the cell.
constexpr std::string_view kUpperHalfBlock = "\xe2\x96\x80";

Error cell_mismatch_error(std::uint32_t width, std::uint32_t height, Viewport viewport) {
  return Error("framebuffer size " + std::to_string(width) + "x" + std::to_string(height) +
               " does not give two pixels per cell of viewport " + std::to_string(viewport.cols) +
               "x" + std::to_string(viewport.rows) + " cells");
}

Rgb pixel_at(std::span<const std::uint8_t> frame, std::uint32_t width, std::uint32_t x,
             std::uint32_t y) {
  const std::uint8_t* pixel = frame.data() + (std::size_t{y} * width + x) * kBytesPerPixel;
  return {pixel[0], pixel[1], pixel[2]};
}

// Moves the cursor from where the last cell left it, the short way along a
// row and with an absolute move otherwise.
void append_cursor_move(std::string& text, std::optional<std::uint32_t>& cursor_row,
                        std::uint32_t& cursor_col, std::uint32_t row, std::uint32_t col) {
  if (cursor_row == row && cursor_col == col) return;
  if (cursor_row == row && cursor_col < col) {
    append_cursor_forward(text, col - cursor_col);
  } else {
    append_cursor_position(text, row, col);
  }
  cursor_row = row;
  cursor_col = col;
}

}  // namespace

Status BlocksPresenter::present(ByteOutput& output, std::span<const std::uint8_t> frame,
                                const FrameGeometry& geometry) {
  const std::uint32_t width = geometry.width;
  const std::uint32_t height = geometry.height;
  const Viewport viewport = geometry.viewport;
  if (Status sized = check_frame_size(frame.size(), width, height); !sized) return sized;
  // A viewport of 0 cells is sized as one of 1 cell, and shows nothing.
  const std::uint32_t cols = std::max<std::uint32_t>(viewport.cols, 1);
  const std::uint32_t rows = std::max<std::uint32_t>(viewport.rows, 1);
  if (width != cols * kCellWidth || height != rows * kCellHeight) {
    return cell_mismatch_error(width, height, viewport);
  }

  text_.clear();
  text_ += kSynchronizedUpdateBegin;
  const std::size_t empty_size = text_.size();
  // Cells left over from another viewport are blanked first, as the kitty
  // presenter deletes its images when the viewport changes.
  const std::optional<Viewport> drawn = history_.drawn_area();
  if (drawn && *drawn != viewport) append_blank_cells(text_, *drawn);
  const bool everything = !history_.comparable(viewport, width, height);
  append_changed_cells(frame, viewport, everything);
  if (text_.size() == empty_size) return Status::success();
  text_ += kAttributesReset;
  text_ += kSynchronizedUpdateEnd;

  return history_.send(output, text_, frame, viewport, width, height);
}

Status BlocksPresenter::clear(ByteOutput& output) {
  return history_.blank_drawn_area(output, text_);
}

void BlocksPresenter::append_changed_cells(std::span<const std::uint8_t> frame, Viewport viewport,
                                           bool everything) {
  const std::uint32_t width = std::max<std::uint32_t>(viewport.cols, 1);
  std::span<const std::uint8_t> previous = history_.previous();
  Pen pen;
  std::optional<std::uint32_t> cursor_row;
  std::uint32_t cursor_col = 0;
  for (std::uint32_t row = 0; row < viewport.rows; ++row) {
    for (std::uint32_t col = 0; col < viewport.cols; ++col) {
      const PixelRect cell{col, row * kCellHeight, kCellWidth, kCellHeight};
      if (!everything && !pixels_differ(frame, previous, width, cell)) continue;
      append_cursor_move(text_, cursor_row, cursor_col, viewport.row + row, viewport.col + col);
      append_cell(pixel_at(frame, width, col, cell.y), pixel_at(frame, width, col, cell.y + 1), col,
                  cell.y, pen);
      ++cursor_col;
    }
  }
}

void BlocksPresenter::append_cell(Rgb upper, Rgb lower, std::uint32_t x, std::uint32_t y,
                                  Pen& pen) {
  if (depth_ == ColourDepth::palette_256) {
    upper = palette_colour(dither_.index_at(upper, x, y));
    lower = palette_colour(dither_.index_at(lower, x, y + 1));
  }
  // A cell of one colour is a space on that background: fewer colour changes,
  // and no seam where a font leaves a gap under the block.
  if (upper == lower) {
    if (pen.background != lower) append_colours(std::nullopt, lower);
    pen.background = lower;
    text_ += ' ';
    return;
  }
  append_colours(pen.foreground == upper ? std::nullopt : std::optional(upper),
                 pen.background == lower ? std::nullopt : std::optional(lower));
  pen.foreground = upper;
  pen.background = lower;
  text_ += kUpperHalfBlock;
}

void BlocksPresenter::append_colours(std::optional<Rgb> foreground, std::optional<Rgb> background) {
  if (!foreground && !background) return;
  text_ += "\x1b[";
  if (foreground) append_colour('3', *foreground);
  if (foreground && background) text_ += ';';
  if (background) append_colour('4', *background);
  text_ += 'm';
}

// "38;2;R;G;B" or "38;5;N" for the foreground (layer '3'), 48 for the background.
void BlocksPresenter::append_colour(char layer, Rgb colour) {
  text_ += layer;
  if (depth_ == ColourDepth::palette_256) {
    text_ += "8;5;";
    // colour is a palette entry already, its own nearest.
    append_decimal(text_, nearest_palette_index(colour));
    return;
  }
  text_ += "8;2;";
  append_decimal(text_, colour.r);
  text_ += ';';
  append_decimal(text_, colour.g);
  text_ += ';';
  append_decimal(text_, colour.b);
}

}  // namespace facetview
