// Colours of the 256-colour palette in a pattern tied to the pixel's place:
// for each colour, 16 palette entries whose mean comes nearest the colour
// (chosen by carrying the error from one to the next, then each chosen again
// with the others kept), ordered by lightness and
// spread over each 4 x 4 pixels by a Bayer matrix. Dark hues the palette
// lacks, such as navy or brown, become a mix of dark cube entries and greys
// rather than one grey. The same colour at the same place always gives the
// same entry, so unchanged cells stay unchanged.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "common/rgba.hpp"

namespace facetview {

class Palette256Dither {
 public:
  // The palette entry (16 to 255) for colour at pixel (x, y) of the frame.
  std::uint8_t index_at(Rgb colour, std::uint32_t x, std::uint32_t y);

 private:
  static constexpr std::size_t kPatternSize = 16;
  struct Pattern {
    std::uint32_t key = 0xFFFFFFFF;  // the colour's 24 bits; no colour has this one
    std::array<std::uint8_t, kPatternSize> indices{};
  };
  const Pattern& pattern_of(Rgb colour);

  std::vector<Pattern> cache_;  // direct-mapped by colour
};

}  // namespace facetview
