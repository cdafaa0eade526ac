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
      const SixelLayout layout = sixel_layout(quality_, viewport, display_);
      return {sixel_frame_width(viewport, layout), sixel_frame_height(viewport, layout)};
    }
    case PresentMethod::blocks:
      // A viewport of 0 cells is sized as one of 1 cell.
      return {std::max<std::uint32_t>(viewport.cols, 1) * BlocksPresenter::cell_width,
              std::max<std::uint32_t>(viewport.rows, 1) * BlocksPresenter::cell_height};
    case PresentMethod::kitty:
      break;
  }
  return framebuffer_size(quality_, viewport);
}

Result<PresentedFrame> TerminalSurface::render_and_present(ByteOutput& output, const Mesh& mesh,
                                                           const Camera& camera,
                                                           Viewport viewport) {
  const FrameSize size = frame_size(viewport);
  // A frame too large to allocate throws here, before the presenter is touched,
  // so the next smaller frame is presented as if this one had never been asked for.
  renderer_.resize(size.width, size.height);
  renderer_.render(mesh, camera);

  // The viewport goes on as given: the presenters treat 0 columns or rows themselves.
  const FrameGeometry geometry{size.width, size.height, viewport,
                               sixel_layout(quality_, viewport, display_)};
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
  display_ = measured;
  if (!display_.cell_width || !display_.cell_height) {
    display_.cell_width = reported_cell_.cell_width;
    display_.cell_height = reported_cell_.cell_height;
  }
}

void TerminalSurface::set_reported_cell_size(std::uint32_t width, std::uint32_t height) {
  reported_cell_.cell_width = width;
  reported_cell_.cell_height = height;
  update_display(display_);
}

void TerminalSurface::forget_shown() {
  presenter_->reset();
}

}  // namespace facetview
