// The colours of a sixel frame: at most 256, chosen by libsixel's median cut,
// and every pixel of the frame as the index of its nearest palette colour.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "common/error.hpp"
#include "common/rgba.hpp"

namespace facetview {

class SixelPalette {
 public:
  // Colour registers that every sixel terminal is assumed to have.
  static constexpr std::size_t max_colours = 256;

  // Chooses the colours for rgb (width x height pixels of 3 bytes) and maps
  // every pixel to one of them; indices() then holds width x height entries.
  Status quantise(std::span<std::uint8_t> rgb, std::uint32_t width, std::uint32_t height);

  std::span<const Rgb> colours() const { return colours_; }
  std::span<const std::uint8_t> indices() const { return indices_; }

 private:
  std::uint8_t nearest(Rgb colour) const;

  std::vector<Rgb> colours_;
  std::vector<std::uint8_t> indices_;
  // The nearest colour of each 5-bit-per-channel colour seen this frame, or -1.
  std::vector<std::int16_t> nearest_cache_;
};

}  // namespace facetview
