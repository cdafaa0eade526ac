#include "raster/background.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>

#include "raster/colour.hpp"

namespace facetview {
namespace {

constexpr LinearColour kTopColour{0.05f, 0.08f, 0.12f};
constexpr LinearColour kBottomColour{0.14f, 0.09f, 0.08f};
constexpr LinearColour kHighlightTint{0.21f, 0.16f, 0.11f};
// Both glows are centred 42 % of the way down the frame.
constexpr float kGlowRow = 0.42f;

// Everything of the gradient that depends on the row alone.
struct RowTerms {
  float row_offset_squared;  // r^2
  LinearColour base;
};

RowTerms row_terms(std::uint32_t row, float frame_height) {
  const float t = static_cast<float>(row) / std::max(frame_height, 1.0f);
  const float offset = t - kGlowRow;
  const float p = std::pow(t, 1.25f);
  const float q = 1.0f - p;
  return {
      offset * offset,
      {p * kBottomColour.red + q * kTopColour.red, p * kBottomColour.green + q * kTopColour.green,
       p * kBottomColour.blue + q * kTopColour.blue}};
}

Rgba background_pixel(const RowTerms& row, float u) {
  const float u_squared = u * u;
  const float r_squared = row.row_offset_squared;
  const float broad_glow = clamp_to(1.08f - (2.8f * r_squared + 1.8f * u_squared), 0.0f, 1.0f);
  const float highlight = clamp_to(1.0f - (8.5f * r_squared + 6.0f * u_squared), 0.0f, 1.0f);
  const float s = 0.35f * (highlight * highlight);
  const float a = 0.45f * broad_glow + 0.55f;
  return opaque_pixel(a * (row.base.red + s * kHighlightTint.red),
                      a * (row.base.green + s * kHighlightTint.green),
                      a * (row.base.blue + s * kHighlightTint.blue));
}

}  // namespace

void paint_background(std::span<std::uint8_t> rgba, std::uint32_t width, std::uint32_t height) {
  const float frame_width = static_cast<float>(width);
  const float frame_height = static_cast<float>(height);
  const float column_divisor = std::max(frame_width, 1.0f);
  std::uint8_t* pixel = rgba.data();
  for (std::uint32_t row = 0; row < height; ++row) {
    const RowTerms terms = row_terms(row, frame_height);
    for (std::uint32_t column = 0; column < width; ++column, pixel += 4) {
      const float u = static_cast<float>(column) / column_divisor - 0.5f;
      const Rgba colour = background_pixel(terms, u);
      std::memcpy(pixel, colour.data(), colour.size());
    }
  }
}

}  // namespace facetview
