// A rectangle of terminal character cells.
#pragma once

#include <cstdint>

namespace facetview {

struct Viewport {
  std::uint16_t col = 0;   // zero-based terminal column of the top-left cell
  std::uint16_t row = 0;   // zero-based terminal row of the top-left cell
  std::uint16_t cols = 1;  // width in cells
  std::uint16_t rows = 1;  // height in cells

  friend bool operator==(const Viewport&, const Viewport&) = default;
};

}  // namespace facetview
