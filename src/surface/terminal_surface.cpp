#include "surface/terminal_surface.hpp"

#include <algorithm>
#include <array>
#include <span>
#include <utility>

#include "surface/cursor_keeping_output.hpp"
#include "surface/presenter_choice.hpp"

namespace facetview {

namespace {

// What a grid shows between and around its pictures: the background's top colour.
constexpr std::array<std::uint8_t, 4> kGridGap{12, 17, 24, 255};

}  // namespace

TerminalSurface::TerminalSurface(Quality quality, PresentMethod method, ColourDepth colour_depth,
                                 ImageRangeLease image_range)
    : method_(method),
      image_range_(std::move(image_range)),
      presenter_(make_presenter(method, colour_depth, image_range_.range())),
      quality_(quality) {}

FrameSize TerminalSurface::frame_size(Viewport viewport) const {
  switch (method()) {
    case PresentMethod::sixel: {
      const SixelPlacement placement = sixel_placement(quality_, viewport, display_);
      return {sixel_frame_width(placement.shown, placement.layout),
              sixel_frame_height(placement.shown, placement.layout)};
    }
    case PresentMethod::blocks:
      // A viewport of 0 cells is sized as one of 1 cell.
      return {std::max<std::uint32_t>(viewport.cols, 1) * BlocksPresenter::kCellWidth,
              std::max<std::uint32_t>(viewport.rows, 1) * BlocksPresenter::kCellHeight};
    case PresentMethod::kitty:
      break;
  }
  return framebuffer_size(quality_, viewport, display_);
}

std::uint32_t TerminalSurface::reduction(Viewport viewport) const {
  if (method() != PresentMethod::sixel) return 1;
  return sixel_placement(quality_, viewport, display_).reduction;
}

FrameGeometry TerminalSurface::frame_geometry(Viewport viewport, FrameSize size) const {
  if (method() != PresentMethod::sixel) return {size.width, size.height, viewport, {}};
  const SixelPlacement placement = sixel_placement(quality_, viewport, display_);
  return {size.width, size.height, placement.shown, placement.layout};
}

Result<PresentedFrame> TerminalSurface::render_and_present(ByteOutput& output, const Mesh& mesh,
                                                           const AnyCamera& camera,
                                                           Viewport viewport) {
  const FrameSize size = frame_size(viewport);
  // A frame too large to allocate throws here, before the presenter is touched,
  // so the next smaller frame is presented as if this one had never been asked for.
  renderer_.resize(size.width, size.height);
  renderer_.render(mesh, camera, overlays_);

  Status presented = present(output, renderer_.framebuffer(), size, viewport);
  if (!presented) return std::move(presented).error();
  return PresentedFrame{viewport, size.width, size.height};
}

Result<PresentedFrame> TerminalSurface::render_grid_and_present(ByteOutput& output,
                                                                std::span<const GridCell> cells,
                                                                Viewport viewport) {
  const FrameSize size = frame_size(viewport);
  const std::size_t row_bytes = std::size_t{size.width} * 4;
  grid_frame_.resize(row_bytes * size.height);
  for (std::size_t i = 0; i < grid_frame_.size(); i += 4) {
    std::copy(kGridGap.begin(), kGridGap.end(), grid_frame_.begin() + static_cast<long>(i));
  }
  // Cell edges in pixels, rounded down, so that neighbours meet without a gap.
  const auto pixel_x = [&](std::uint32_t col) {
    return static_cast<std::uint32_t>(std::uint64_t{col} * size.width /
                                      std::max<std::uint32_t>(viewport.cols, 1));
  };
  const auto pixel_y = [&](std::uint32_t row) {
    return static_cast<std::uint32_t>(std::uint64_t{row} * size.height /
                                      std::max<std::uint32_t>(viewport.rows, 1));
  };
  for (const GridCell& cell : cells) {
    if (cell.mesh == nullptr) continue;
    // The part of the cell inside the viewport, relative to it.
    const std::uint32_t col0 =
        std::clamp<std::uint32_t>(cell.cells.col, viewport.col, viewport.col + viewport.cols) -
        viewport.col;
    const std::uint32_t row0 =
        std::clamp<std::uint32_t>(cell.cells.row, viewport.row, viewport.row + viewport.rows) -
        viewport.row;
    const std::uint32_t col1 =
        std::min<std::uint32_t>(cell.cells.col + cell.cells.cols, viewport.col + viewport.cols) -
        viewport.col;
    const std::uint32_t row1 =
        std::min<std::uint32_t>(cell.cells.row + cell.cells.rows, viewport.row + viewport.rows) -
        viewport.row;
    if (col1 <= col0 || row1 <= row0) continue;
    const std::uint32_t x0 = pixel_x(col0), x1 = pixel_x(col1);
    const std::uint32_t y0 = pixel_y(row0), y1 = pixel_y(row1);
    if (x1 <= x0 || y1 <= y0) continue;
    renderer_.resize(x1 - x0, y1 - y0);
    renderer_.render(*cell.mesh, cell.camera, overlays_);
    const std::vector<std::uint8_t>& picture = renderer_.framebuffer();
    const std::size_t picture_row = std::size_t{x1 - x0} * 4;
    for (std::uint32_t y = y0; y < y1; ++y) {
      std::copy_n(picture.begin() + static_cast<long>((y - y0) * picture_row), picture_row,
                  grid_frame_.begin() + static_cast<long>(y * row_bytes + std::size_t{x0} * 4));
    }
  }
  Status presented = present(output, grid_frame_, size, viewport);
  if (!presented) return std::move(presented).error();
  return PresentedFrame{viewport, size.width, size.height};
}

Status TerminalSurface::present(ByteOutput& output, std::span<const std::uint8_t> frame,
                                FrameSize size, Viewport viewport) {
  // The viewport goes on as given: the presenters treat 0 columns or rows themselves.
  const FrameGeometry geometry = frame_geometry(viewport, size);
  CursorKeepingOutput frame_output(output);
  Status presented = presenter_->present(frame_output, frame, geometry);
  // A frame that wrote without flushing (one without tiles) still restores the cursor.
  if (presented) presented = frame_output.close();
  return presented;
}

Status TerminalSurface::clear(ByteOutput& output) {
  CursorKeepingOutput clear_output(output);
  Status cleared = presenter_->clear(clear_output);
  if (cleared) cleared = clear_output.close();
  return cleared;
}

void TerminalSurface::update_display(const TerminalDisplay& measured) {
  measured_ = measured;
  display_ = measured;
  if (!sane_cell_size(display_)) {
    display_.cell_width = reported_.cell_width;
    display_.cell_height = reported_.cell_height;
  }
  display_.sixel_max_width = reported_.sixel_max_width;
  display_.sixel_max_height = reported_.sixel_max_height;
  display_.sixel_colours = reported_.sixel_colours;
}

void TerminalSurface::set_reported_cell_size(std::uint32_t width, std::uint32_t height) {
  TerminalDisplay reported{width, height, {}};
  reported_.cell_width = sane_cell_size(reported) ? reported.cell_width : std::nullopt;
  reported_.cell_height = sane_cell_size(reported) ? reported.cell_height : std::nullopt;
  update_display(measured_);
}

void TerminalSurface::set_reported_sixel_limits(std::optional<std::uint32_t> max_width,
                                                std::optional<std::uint32_t> max_height,
                                                std::optional<std::uint32_t> colours) {
  reported_.sixel_max_width = max_width;
  reported_.sixel_max_height = max_height;
  reported_.sixel_colours = colours;
  update_display(measured_);
}

void TerminalSurface::forget_shown() {
  presenter_->reset();
}

}  // namespace facetview
