#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>

#include "surface/terminal_surface.hpp"

namespace facetview {

namespace {

// Pixels a frame may have before its cells are scaled down, by quality ordinal.
constexpr std::array<std::uint32_t, 3> kPixelBudgets = {140000, 260000, 420000};

std::uint32_t saturating_multiply(std::uint32_t a, std::uint32_t b) {
  const std::uint64_t product = std::uint64_t{a} * b;
  return product > std::numeric_limits<std::uint32_t>::max()
             ? std::numeric_limits<std::uint32_t>::max()
             : static_cast<std::uint32_t>(product);
}

// floor(scale * side), at least 1. scale lies in (0, 1], so the product is a
// finite value no larger than side and the conversion is always defined.
std::uint32_t scaled_cell_side(float scale, std::uint32_t side) {
  const float scaled = std::floor(scale * static_cast<float>(side));
  return scaled < 1.0f ? 1 : static_cast<std::uint32_t>(scaled);
}

// The quality whose cells and budget apply: full stands for high where the
// terminal's cells are unknown.
std::uint32_t sized_ordinal(Quality quality) {
  return static_cast<std::uint32_t>(quality == Quality::full ? Quality::high : quality);
}

}  // namespace

FrameSize framebuffer_size(Quality quality, Viewport viewport) {
  const std::uint32_t ordinal = sized_ordinal(quality);
  std::uint32_t cell_width = ordinal + 3;
  std::uint32_t cell_height = 2 * ordinal + 6;
  const std::uint32_t budget = kPixelBudgets.at(ordinal);

  // A viewport of 0 cells is sized as one of 1 cell.
  const std::uint32_t cols = viewport.cols == 0 ? 1 : viewport.cols;
  const std::uint32_t rows = viewport.rows == 0 ? 1 : viewport.rows;

  const std::uint32_t total =
      saturating_multiply(saturating_multiply(cols * rows, cell_width), cell_height);
  if (total > budget) {
    const float scale = std::sqrt(static_cast<float>(budget) / static_cast<float>(total));
    cell_width = scaled_cell_side(scale, cell_width);
    cell_height = scaled_cell_side(scale, cell_height);
  }
  return FrameSize{cell_width * cols, cell_height * rows};
}

FrameSize framebuffer_size(Quality quality, Viewport viewport, const TerminalDisplay& display) {
  if (quality != Quality::full || !sane_cell_size(display)) {
    return framebuffer_size(quality, viewport);
  }
  const std::uint64_t width =
      std::uint64_t{viewport.cols == 0 ? 1u : viewport.cols} * *display.cell_width;
  const std::uint64_t height =
      std::uint64_t{viewport.rows == 0 ? 1u : viewport.rows} * *display.cell_height;
  // More pixels than a renderer holds: the budgeted cells of high instead.
  if (width * height > Renderer::kMaxPixels) return framebuffer_size(Quality::high, viewport);
  return FrameSize{static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height)};
}

bool sane_cell_size(const TerminalDisplay& display) {
  const auto sane = [](std::optional<std::uint32_t> side) {
    return side && *side >= 1 && *side <= kMaxCellPixels;
  };
  return sane(display.cell_width) && sane(display.cell_height);
}

SixelLayout sixel_layout(Quality quality, Viewport viewport, const TerminalDisplay& display) {
  const std::uint32_t ordinal = sized_ordinal(quality);
  SixelLayout layout;
  // The quality's own cells stand in when the terminal did not tell its size.
  const bool cell_known = sane_cell_size(display);
  layout.cell_width = cell_known ? *display.cell_width : ordinal + 3;
  layout.cell_height = cell_known ? *display.cell_height : 2 * ordinal + 6;
  layout.screen_rows = display.rows;
  layout.colours = static_cast<std::uint32_t>(std::min<std::uint64_t>(
      display.sixel_colours.value_or(SixelPalette::kMaxColours), SixelPalette::kMaxColours));
  if (layout.colours == 0) layout.colours = SixelPalette::kMaxColours;

  // The smallest whole scale that brings the frame within the budget; its
  // pixels are repeated to cover the viewport. At full quality every screen
  // pixel is drawn, up to what a renderer holds.
  const std::uint64_t budget = quality == Quality::full && cell_known
                                   ? Renderer::kMaxPixels
                                   : std::uint64_t{kPixelBudgets.at(ordinal)};
  const std::uint64_t screen_width =
      std::uint64_t{viewport.cols == 0 ? 1u : viewport.cols} * layout.cell_width;
  const std::uint64_t screen_height =
      std::uint64_t{viewport.rows == 0 ? 1u : viewport.rows} * layout.cell_height;
  const auto frame_pixels = [&](std::uint64_t scale) {
    return ((screen_width + scale - 1) / scale) * ((screen_height + scale - 1) / scale);
  };
  // sqrt of the overshoot is a lower bound for the scale, so the search is short.
  std::uint64_t scale = std::max<std::uint64_t>(
      1, static_cast<std::uint64_t>(std::sqrt(static_cast<double>(screen_width * screen_height) /
                                              static_cast<double>(budget))));
  while (frame_pixels(scale) > budget && scale < std::max(screen_width, screen_height)) ++scale;
  layout.scale = static_cast<std::uint32_t>(scale);
  return layout;
}

SixelPlacement sixel_placement(Quality quality, Viewport viewport, const TerminalDisplay& display) {
  // The cell size does not depend on the viewport.
  const SixelLayout cells = sixel_layout(quality, Viewport{}, display);
  const std::uint32_t cols = std::max<std::uint32_t>(viewport.cols, 1);
  const std::uint32_t rows = std::max<std::uint32_t>(viewport.rows, 1);
  const auto limit = [](std::optional<std::uint32_t> told) {
    return std::clamp<std::uint64_t>(told.value_or(kSixelMaxScreenSide), 1, kSixelMaxScreenSide);
  };
  const auto reduction_for = [](std::uint64_t pixels, std::uint64_t most) {
    return (pixels + most - 1) / most;
  };
  const std::uint64_t reduction = std::max(
      reduction_for(std::uint64_t{cols} * cells.cell_width, limit(display.sixel_max_width)),
      reduction_for(std::uint64_t{rows} * cells.cell_height, limit(display.sixel_max_height)));
  SixelPlacement placement;
  placement.shown = viewport;
  if (reduction > 1) {
    // Whole cells, so that bands still end on cell rows; at least one of each.
    const auto shown_cols =
        static_cast<std::uint16_t>(std::max<std::uint64_t>(cols / reduction, 1));
    const auto shown_rows =
        static_cast<std::uint16_t>(std::max<std::uint64_t>(rows / reduction, 1));
    placement.shown.col = static_cast<std::uint16_t>(viewport.col + (cols - shown_cols) / 2);
    placement.shown.row = static_cast<std::uint16_t>(viewport.row + (rows - shown_rows) / 2);
    placement.shown.cols = shown_cols;
    placement.shown.rows = shown_rows;
    placement.reduction = static_cast<std::uint32_t>(reduction);
  }
  placement.layout = sixel_layout(quality, placement.shown, display);
  return placement;
}

}  // namespace facetview
