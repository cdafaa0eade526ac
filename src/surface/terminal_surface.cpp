#include "surface/terminal_surface.hpp"

#include <algorithm>
#include <utility>

#include "surface/cursor_keeping_output.hpp"
#include "surface/presenter_choice.hpp"

namespace facetview {

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
      return {std::max<std::uint32_t>(viewport.cols, 1) * BlocksPresenter::cell_width,
              std::max<std::uint32_t>(viewport.rows, 1) * BlocksPresenter::cell_height};
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

  // The viewport goes on as given: the presenters treat 0 columns or rows themselves.
  const FrameGeometry geometry = frame_geometry(viewport, size);
  CursorKeepingOutput frame_output(output);
  Status presented = presenter_->present(frame_output, renderer_.framebuffer(), geometry);
  // A frame that wrote without flushing (one without tiles) still restores the cursor.
  if (presented) presented = frame_output.close();
  if (!presented) return std::move(presented).error();
  return PresentedFrame{viewport, size.width, size.height};
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
