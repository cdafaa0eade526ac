// The ways a surface can show its frames in a terminal.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace facetview {

enum class PresentMethod : std::uint8_t {
  kitty,   // kitty graphics protocol images, 8 x 4 cell tiles
  sixel,   // sixel images in the terminal's own pixels
  blocks,  // half-block characters, two pixels per cell
};

// "kitty", "sixel" or "blocks".
std::string_view present_method_name(PresentMethod method);

// One of the names above, compared whole and case-sensitively.
std::optional<PresentMethod> parse_present_method(std::string_view text);

}  // namespace facetview
