#include "sixel/presenter.hpp"

#include <algorithm>
#include <numeric>
#include <string>

#include "common/frame_compare.hpp"
#include "common/terminal_text.hpp"

namespace facetview {

namespace {

// One sixel is a column of 6 pixels.
constexpr std::uint32_t kSixelHeight = 6;
constexpr std::uint64_t kMaxScreenSide = kSixelMaxScreenSide;

std::uint64_t screen_width(Viewport viewport, const SixelLayout& layout) {
  return std::uint64_t{std::max<std::uint16_t>(viewport.cols, 1)} * layout.cell_width;
}

std::uint64_t screen_height(Viewport viewport, const SixelLayout& layout) {
  return std::uint64_t{std::max<std::uint16_t>(viewport.rows, 1)} * layout.cell_height;
}

std::uint32_t divide_rounding_up(std::uint64_t total, std::uint32_t part) {
  return static_cast<std::uint32_t>((total + part - 1) / part);
}

bool layout_usable(Viewport viewport, const SixelLayout& layout) {
  return layout.cell_width != 0 && layout.cell_height != 0 && layout.scale != 0 &&
         screen_width(viewport, layout) <= kMaxScreenSide &&
         screen_height(viewport, layout) <= kMaxScreenSide;
}

// Cell rows of the viewport that may be drawn on: all of them, unless the
// viewport reaches the screen's last row.
std::uint32_t drawable_rows(Viewport viewport, const SixelLayout& layout) {
  if (!layout.screen_rows) return viewport.rows;
  const std::uint32_t above_last_row = *layout.screen_rows == 0 ? 0 : *layout.screen_rows - 1u;
  if (viewport.row >= above_last_row) return 0;
  return std::min<std::uint32_t>(viewport.rows, above_last_row - viewport.row);
}

}  // namespace

std::uint32_t sixel_frame_width(Viewport viewport, const SixelLayout& layout) {
  return divide_rounding_up(std::min(screen_width(viewport, layout), kMaxScreenSide),
                            std::max<std::uint32_t>(layout.scale, 1));
}

std::uint32_t sixel_frame_height(Viewport viewport, const SixelLayout& layout) {
  return divide_rounding_up(std::min(screen_height(viewport, layout), kMaxScreenSide),
                            std::max<std::uint32_t>(layout.scale, 1));
}

std::uint32_t sixel_band_rows(std::uint32_t cell_height) {
  if (cell_height == 0) return 1;
  return kSixelHeight / std::gcd(cell_height, kSixelHeight);
}

Status SixelPresenter::present(ByteOutput& output, std::span<const std::uint8_t> frame,
                               const FrameGeometry& geometry) {
  const std::uint32_t width = geometry.width;
  const std::uint32_t height = geometry.height;
  const Viewport viewport = geometry.viewport;
  const SixelLayout& layout = geometry.screen;
  if (Status sized = check_frame_size(frame.size(), width, height); !sized) return sized;
  if (!layout_usable(viewport, layout) || width != sixel_frame_width(viewport, layout) ||
      height != sixel_frame_height(viewport, layout)) {
    return Error("framebuffer size " + std::to_string(width) + "x" + std::to_string(height) +
                 " does not fit viewport " + std::to_string(viewport.cols) + "x" +
                 std::to_string(viewport.rows) + " cells of " + std::to_string(layout.cell_width) +
                 "x" + std::to_string(layout.cell_height) + " pixels at scale " +
                 std::to_string(layout.scale));
  }

  text_.clear();
  text_ += kSynchronizedUpdateBegin;
  const std::size_t empty_size = text_.size();
  const bool everything = !history_.comparable(viewport, width, height) || layout_ != layout;
  // Pixels left over from another viewport or cell size are blanked first.
  const std::optional<Viewport> drawn = history_.drawn_area();
  if (drawn && (*drawn != viewport || layout_ != layout)) append_blank_cells(text_, *drawn);

  const std::uint32_t rows = viewport.cols == 0 ? 0 : drawable_rows(viewport, layout);
  const std::uint32_t band_rows = sixel_band_rows(layout.cell_height);
  std::span<const std::uint8_t> previous = history_.previous();
  bool palette_chosen = false;
  // Runs of changed bands go out as one image each, all in one palette chosen
  // from the whole frame, so that bands meet without seams.
  const auto send_run = [&](std::uint32_t first_row, std::uint32_t end_row) {
    if (!palette_chosen) {
      palette_.choose(frame, width, height, layout.colours);
      palette_chosen = true;
    }
    append_band(width, height, viewport, layout, first_row, end_row);
  };
  std::optional<std::uint32_t> run_start;
  for (std::uint32_t first = 0; first < rows; first += band_rows) {
    const std::uint32_t end = std::min(first + band_rows, rows);
    const std::uint32_t top = first * layout.cell_height / layout.scale;
    const std::uint32_t bottom =
        std::min(divide_rounding_up(std::uint64_t{end} * layout.cell_height, layout.scale), height);
    const bool changed =
        everything || pixels_differ(frame, previous, width, PixelRect{0, top, width, bottom - top});
    if (changed && !run_start) run_start = first;
    if (!changed && run_start) {
      send_run(*run_start, first);
      run_start.reset();
    }
  }
  if (run_start) send_run(*run_start, rows);
  if (text_.size() == empty_size) return Status::success();
  text_ += kSynchronizedUpdateEnd;

  layout_ = layout;
  return history_.send(output, text_, frame, viewport, width, height);
}

Status SixelPresenter::clear(ByteOutput& output) {
  return history_.blank_drawn_area(output, text_);
}

void SixelPresenter::append_band(std::uint32_t width, std::uint32_t height, Viewport viewport,
                                 const SixelLayout& layout, std::uint32_t first_row,
                                 std::uint32_t end_row) {
  append_cursor_position(text_, std::uint32_t{viewport.row} + first_row, viewport.col);
  const ScreenBand band{layout.scale, first_row * layout.cell_height,
                        static_cast<std::uint32_t>(screen_width(viewport, layout)),
                        (end_row - first_row) * layout.cell_height};
  append_sixel_image(text_, IndexedFrame{palette_.indices(), width, height}, palette_.colours(),
                     band);
}

}  // namespace facetview
