#include <array>
#include <cmath>
#include <cstdint>
#include <limits>

#include "surface/terminal_surface.hpp"

namespace facetview {

namespace {

// Pixels a frame may have before its cells are scaled down, by quality ordinal.
constexpr std::array<std::uint32_t, 3> pixel_budgets = {140000, 260000, 420000};

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

}  // namespace

FrameSize framebuffer_size(Quality quality, Viewport viewport) {
  const auto ordinal = static_cast<std::uint32_t>(quality);
  std::uint32_t cell_width = ordinal + 3;
  std::uint32_t cell_height = 2 * ordinal + 6;
  const std::uint32_t budget = pixel_budgets.at(ordinal);

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

}  // namespace facetview
