#include "sixel/palette.hpp"

#include <sixel.h>

#include <climits>
#include <memory>
#include <string>

namespace facetview {

namespace {

constexpr std::size_t rgb_bytes_per_pixel = 3;
// The cache key keeps 5 bits per channel, as libsixel's own histogram does.
constexpr int cache_bits = 5;

struct DitherDeleter {
  void operator()(sixel_dither_t* dither) const { sixel_dither_unref(dither); }
};

Error palette_error(SIXELSTATUS status) {
  return Error(std::string("sixel palette failed: ") + sixel_helper_format_error(status));
}

constexpr int dropped_bits = 8 - cache_bits;

int cache_key(Rgb colour) {
  return (colour.r >> dropped_bits) << (2 * cache_bits) | (colour.g >> dropped_bits) << cache_bits |
         (colour.b >> dropped_bits);
}

// The middle of the colours that share a key: the one its nearest palette
// colour is chosen for, so that the mapping depends on the palette alone.
Rgb key_centre(int key) {
  constexpr int mask = (1 << cache_bits) - 1;
  constexpr int half_step = 1 << (dropped_bits - 1);
  return {static_cast<std::uint8_t>(((key >> (2 * cache_bits)) << dropped_bits) + half_step),
          static_cast<std::uint8_t>((((key >> cache_bits) & mask) << dropped_bits) + half_step),
          static_cast<std::uint8_t>(((key & mask) << dropped_bits) + half_step)};
}

}  // namespace

Status SixelPalette::quantise(std::span<std::uint8_t> rgb, std::uint32_t width,
                              std::uint32_t height) {
  if (width == 0 || height == 0 || width > INT_MAX || height > INT_MAX ||
      rgb.size() / rgb_bytes_per_pixel / width < height) {
    return Error("sixel palette failed: image size out of range");
  }
  sixel_dither_t* raw_dither = nullptr;
  if (const SIXELSTATUS status = sixel_dither_new(&raw_dither, max_colours, nullptr);
      SIXEL_FAILED(status)) {
    return palette_error(status);
  }
  const std::unique_ptr<sixel_dither_t, DitherDeleter> dither(raw_dither);
  if (const SIXELSTATUS status = sixel_dither_initialize(
          dither.get(), rgb.data(), static_cast<int>(width), static_cast<int>(height),
          SIXEL_PIXELFORMAT_RGB888, SIXEL_LARGE_NORM, SIXEL_REP_AVERAGE_PIXELS, SIXEL_QUALITY_LOW);
      SIXEL_FAILED(status)) {
    return palette_error(status);
  }
  const int count = sixel_dither_get_num_of_palette_colors(dither.get());
  const unsigned char* palette = sixel_dither_get_palette(dither.get());
  if (count <= 0 || static_cast<std::size_t>(count) > max_colours || palette == nullptr) {
    return Error("sixel palette failed: no colours chosen");
  }
  colours_.resize(static_cast<std::size_t>(count));
  for (std::size_t index = 0; index < colours_.size(); ++index) {
    colours_[index] = {palette[3 * index], palette[3 * index + 1], palette[3 * index + 2]};
  }

  // Without error diffusion: the same pixels always give the same indices, so
  // bands that did not change need not be sent again.
  nearest_cache_.assign(std::size_t{1} << (3 * cache_bits), -1);
  const std::size_t pixels = std::size_t{width} * height;
  indices_.resize(pixels);
  for (std::size_t pixel = 0; pixel < pixels; ++pixel) {
    const std::uint8_t* source = &rgb[pixel * rgb_bytes_per_pixel];
    const int key = cache_key({source[0], source[1], source[2]});
    std::int16_t& cached = nearest_cache_[static_cast<std::size_t>(key)];
    if (cached < 0) cached = nearest(key_centre(key));
    indices_[pixel] = static_cast<std::uint8_t>(cached);
  }
  return Status::success();
}

std::uint8_t SixelPalette::nearest(Rgb colour) const {
  std::size_t best = 0;
  int best_distance = INT_MAX;
  for (std::size_t index = 0; index < colours_.size(); ++index) {
    const int dr = colour.r - colours_[index].r;
    const int dg = colour.g - colours_[index].g;
    const int db = colour.b - colours_[index].b;
    const int distance = dr * dr + dg * dg + db * db;
    if (distance < best_distance) {
      best_distance = distance;
      best = index;
    }
  }
  return static_cast<std::uint8_t>(best);
}

}  // namespace facetview
