// The gradient every frame starts from.
#pragma once

#include <cstdint>
#include <span>

namespace facetview {

// Paints the whole width x height RGBA frame with the background gradient.
// `rgba` holds exactly width * height * 4 bytes; both sizes are non-zero.
void paint_background(std::span<std::uint8_t> rgba, std::uint32_t width, std::uint32_t height);

}  // namespace facetview
