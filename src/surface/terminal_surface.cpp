#include "surface/terminal_surface.hpp"

#include <algorithm>
#include <span>
#include <utility>

namespace facetview {

namespace {

std::variant<Presenter, SixelPresenter, BlocksPresenter> make_presenter(PresentMethod method,
                                                                        ColourDepth colour_depth) {
  switch (method) {
    case PresentMethod::sixel:
      return std::variant<Presenter, SixelPresenter, BlocksPresenter>(std::in_place_index<1>);
    case PresentMethod::blocks:
      return std::variant<Presenter, SixelPresenter, BlocksPresenter>(std::in_place_index<2>,
                                                                      colour_depth);
    case PresentMethod::kitty:
      break;
  }
  return std::variant<Presenter, SixelPresenter, BlocksPresenter>(std::in_place_index<0>);
}

}  // namespace

TerminalSurface::TerminalSurface(Quality quality, PresentMethod method, ColourDepth colour_depth)
    : presenter_(make_presenter(method, colour_depth)), quality_(quality) {}

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
  return framebuffer_size(quality_, viewport, display_);
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
  const std::span<const std::uint8_t> frame(renderer_.framebuffer());
  Status presented = std::visit(
      [&](auto& presenter) -> Status {
        using Kind = std::decay_t<decltype(presenter)>;
        if constexpr (std::is_same_v<Kind, SixelPresenter>) {
          return presenter.present_rgba(output, frame, size.width, size.height, viewport,
                                        sixel_layout(quality_, viewport, display_));
        } else {
          return presenter.present_rgba(output, frame, size.width, size.height, viewport);
        }
      },
      presenter_);
  if (!presented) return std::move(presented).error();
  return PresentedFrame{viewport, size.width, size.height};
}

Status TerminalSurface::clear(ByteOutput& output) {
  return std::visit(
      [&](auto& presenter) -> Status {
        using Kind = std::decay_t<decltype(presenter)>;
        if constexpr (std::is_same_v<Kind, Presenter>) {
          presenter.reset();
          return output.write_all(Presenter::delete_all_sequence);
        } else {
          return presenter.clear(output);
        }
      },
      presenter_);
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
  std::visit([](auto& presenter) { presenter.reset(); }, presenter_);
}

}  // namespace facetview
