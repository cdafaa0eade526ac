#include "common/frame_compare.hpp"

#include <cstring>
#include <limits>
#include <string>

namespace facetview {

Status check_frame_size(std::size_t frame_size, std::uint32_t width, std::uint32_t height) {
  constexpr std::size_t max_size = std::numeric_limits<std::size_t>::max();
  const bool fits = width == 0 || height <= max_size / kBytesPerPixel / width;
  if (fits && frame_size == std::size_t{width} * height * kBytesPerPixel) return Status::success();
  return Error("frame of " + std::to_string(frame_size) +
               " bytes does not match framebuffer size " + std::to_string(width) + "x" +
               std::to_string(height));
}

namespace {

// Calls row(offset, bytes) for each row of the rectangle, top to bottom, until
// it returns true; whether one did.
template <class Row>
bool any_rect_row(std::uint32_t frame_width, PixelRect rect, Row row) {
  const std::size_t row_bytes = std::size_t{rect.width} * kBytesPerPixel;
  const std::size_t stride = std::size_t{frame_width} * kBytesPerPixel;
  if (row_bytes == 0) return false;
  std::size_t offset = std::size_t{rect.y} * stride + std::size_t{rect.x} * kBytesPerPixel;
  for (std::uint32_t y = 0; y < rect.height; ++y, offset += stride) {
    if (row(offset, row_bytes)) return true;
  }
  return false;
}

}  // namespace

bool pixels_differ(std::span<const std::uint8_t> frame, std::span<const std::uint8_t> previous,
                   std::uint32_t frame_width, PixelRect rect) {
  return any_rect_row(frame_width, rect, [&](std::size_t offset, std::size_t bytes) {
    return std::memcmp(frame.data() + offset, previous.data() + offset, bytes) != 0;
  });
}

void copy_pixels(std::span<const std::uint8_t> frame, std::span<std::uint8_t> copy,
                 std::uint32_t frame_width, PixelRect rect) {
  any_rect_row(frame_width, rect, [&](std::size_t offset, std::size_t bytes) {
    std::memcpy(copy.data() + offset, frame.data() + offset, bytes);
    return false;
  });
}

}  // namespace facetview
