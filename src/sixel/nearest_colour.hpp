// The nearest palette entry of a colour, by squared distance over the full
// 8-bit channels, ties to the lower index. Palette entries are searched in
// order of green, outwards from the colour's own, and each answer is cached.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "common/rgba.hpp"

namespace facetview {

class NearestColour {
 public:
  // Takes a palette of 1 to 256 colours; forgets every cached answer.
  void set_palette(std::span<const Rgb> palette);

  std::uint8_t index_of(Rgb colour);

 private:
  std::uint8_t search(Rgb colour) const;

  struct Sorted {
    Rgb colour;
    std::uint8_t index;
  };
  std::vector<Sorted> by_green_;
  // Direct-mapped: colour key (24 bits) or kEmptySlot, and the answer.
  std::vector<std::uint32_t> cached_keys_;
  std::vector<std::uint8_t> cached_indices_;
};

}  // namespace facetview
