// The 256-colour palette of terminals without true colour: the 6 x 6 x 6
// colour cube (indices 16 to 231) and the grey ramp (232 to 255).
#pragma once

#include <cstdint>

#include "common/rgba.hpp"

namespace facetview {

// The nearer, by squared distance, of the cube's and the grey ramp's nearest
// entries. The 16 system colours are left out: terminals choose them freely.
std::uint8_t nearest_palette_index(Rgb colour);

// The colour that xterm and most terminals give a palette index from 16 up.
Rgb palette_colour(std::uint8_t index);

}  // namespace facetview
