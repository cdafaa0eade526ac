#include "sixel/palette.hpp"

#include <algorithm>

namespace facetview {

std::uint8_t sixel_percent(std::uint8_t channel) {
  return static_cast<std::uint8_t>((std::uint32_t{channel} * 100 + 127) / 255);
}

std::uint8_t shown_channel(std::uint8_t percent) {
  return static_cast<std::uint8_t>(
      (std::uint32_t{std::min<std::uint8_t>(percent, 100)} * 255 + 50) / 100);
}

std::array<std::uint8_t, 256> percent_grid() {
  std::array<std::uint8_t, 256> grid{};
  for (std::size_t value = 0; value < grid.size(); ++value) {
    grid[value] = sixel_percent(static_cast<std::uint8_t>(value));
  }
  return grid;
}

void SixelPalette::choose(std::span<const std::uint8_t> rgba, std::uint32_t width,
                          std::uint32_t height, std::size_t registers) {
  const std::size_t pixels = std::min(std::size_t{width} * height, rgba.size() / kBytesPerPixel);
  const std::span<const std::uint8_t> frame = rgba.first(pixels * kBytesPerPixel);
  colours_ = median_cut_.colours(frame, std::clamp<std::size_t>(registers, 1, kMaxColours));
  // The colours are counted, and come out, as percentages; pixels are
  // matched against what the terminal will show of them.
  for (Rgb& colour : colours_) {
    colour = {shown_channel(colour.r), shown_channel(colour.g), shown_channel(colour.b)};
  }
  if (colours_.empty()) colours_.push_back({});
  nearest_.set_palette(colours_);

  indices_.resize(pixels);
  Rgb last{};
  std::uint8_t last_index = nearest_.index_of(last);
  for (std::size_t pixel = 0; pixel < pixels; ++pixel) {
    const std::uint8_t* source = &frame[pixel * kBytesPerPixel];
    const Rgb colour{source[0], source[1], source[2]};
    if (colour != last) {
      last = colour;
      last_index = nearest_.index_of(colour);
    }
    indices_[pixel] = last_index;
  }
}

}  // namespace facetview
