// The colours of a sixel frame: as many as the terminal has registers (256 at
// most), chosen by median cut, and every pixel as the index of its nearest
// colour by its full 8-bit value. Without error diffusion, the same pixels
// always give the same indices, so bands that did not change need not be
// sent again.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "common/rgba.hpp"
#include "sixel/median_cut.hpp"
#include "sixel/nearest_colour.hpp"

namespace facetview {

// Sixel colours are percentages: the one nearest a channel value, and the
// 8-bit value that terminals show for a percentage.
std::uint8_t sixel_percent(std::uint8_t channel);
std::uint8_t shown_channel(std::uint8_t percent);

// sixel_percent of every channel value.
std::array<std::uint8_t, 256> percent_grid();

class SixelPalette {
 public:
  // Colour registers of a sixel image that this palette fills at most.
  static constexpr std::size_t kMaxColours = 256;

  // Chooses at most registers colours (1 to kMaxColours) for the RGBA frame of
  // width x height pixels, each as a terminal shows it, and maps every pixel;
  // indices() then holds width x height entries.
  void choose(std::span<const std::uint8_t> rgba, std::uint32_t width, std::uint32_t height,
              std::size_t registers);

  std::span<const Rgb> colours() const { return colours_; }
  std::span<const std::uint8_t> indices() const { return indices_; }

 private:
  MedianCut median_cut_{percent_grid()};
  NearestColour nearest_;
  std::vector<Rgb> colours_;
  std::vector<std::uint8_t> indices_;
};

}  // namespace facetview
