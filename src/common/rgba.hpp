// The pixel layout of every frame: row-major RGBA, one byte per channel.
#pragma once

#include <cstddef>

namespace facetview {

inline constexpr std::size_t bytes_per_pixel = 4;

}  // namespace facetview
