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

Result<PresentedFrame> TerminalSurface::render_and_present(ByteOutput& output, const Mesh& mesh,
                                                           const AnyCamera& camera,
                                                           Viewport viewport) {
  const FrameSize size = frame_size(viewport);
  // A frame too large to allocate throws here, before the presenter is touched,
  // so the next smaller frame is presented as if this one had never been asked for.
  renderer_.resize(size.width, size.height);
  renderer_.render(mesh, camera, overlays_);

  // The viewport goes on as given: the presenters treat 0 columns or rows themselves.
  const std::span<const std::uint8_t> frame(renderer_.framebuffer());
  Status presented = std::visit(
      [&](auto& presenter) -> Status {
        using Kind = std::decay_t<decltype(presenter)>;
        if constexpr (std::is_same_v<Kind, SixelPresenter>) {
          const SixelPlacement placement = sixel_placement(quality_, viewport, display_);
          return presenter.present_rgba(output, frame, size.width, size.height, placement.shown,
                                        placement.layout);
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
  std::visit([](auto& presenter) { presenter.reset(); }, presenter_);
}

}  // namespace facetview
