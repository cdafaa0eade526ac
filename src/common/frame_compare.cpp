#include "common/frame_compare.hpp"

#include <cstring>
#include <limits>

namespace facetview {

bool rgba_frame_size_matches(std::size_t frame_size, std::uint32_t width, std::uint32_t height) {
  constexpr std::size_t max_size = std::numeric_limits<std::size_t>::max();
  if (width != 0 && height > max_size / rgba_bytes_per_pixel / width) return false;
  return frame_size == std::size_t{width} * height * rgba_bytes_per_pixel;
}

bool pixels_differ(std::span<const std::uint8_t> frame, std::span<const std::uint8_t> previous,
                   std::uint32_t frame_width, PixelRect rect) {
  const std::size_t row_bytes = std::size_t{rect.width} * rgba_bytes_per_pixel;
  const std::size_t stride = std::size_t{frame_width} * rgba_bytes_per_pixel;
  if (row_bytes == 0) return false;
  std::size_t offset = std::size_t{rect.y} * stride + std::size_t{rect.x} * rgba_bytes_per_pixel;
  for (std::uint32_t row = 0; row < rect.height; ++row, offset += stride) {
    if (std::memcmp(frame.data() + offset, previous.data() + offset, row_bytes) != 0) return true;
  }
  return false;
}

}  // namespace facetview
