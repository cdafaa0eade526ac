#include "blocks/palette_256.hpp"

#include <array>
#include <cstdlib>

namespace facetview {

namespace {

constexpr std::array<int, 6> kCubeLevels = {0, 95, 135, 175, 215, 255};
constexpr int kCubeFirst = 16;
constexpr int kGreyFirst = 232;
constexpr int kGreySteps = 24;

// The index of the cube level nearest to value; ties go to the lower level.
int nearest_cube_level(int value) {
  int best = 0;
  for (int level = 1; level < 6; ++level) {
    if (std::abs(kCubeLevels[level] - value) < std::abs(kCubeLevels[best] - value)) best = level;
  }
  return best;
}

int grey_value(int step) {
  return 8 + 10 * step;
}

int squared_distance(Rgb a, Rgb b) {
  const int dr = a.r - b.r;
  const int dg = a.g - b.g;
  const int db = a.b - b.b;
  return dr * dr + dg * dg + db * db;
}

}  // namespace

std::uint8_t nearest_palette_index(Rgb colour) {
  const int r = nearest_cube_level(colour.r);
  const int g = nearest_cube_level(colour.g);
  const int b = nearest_cube_level(colour.b);
  const int cube_index = kCubeFirst + 36 * r + 6 * g + b;

  const int mean = (colour.r + colour.g + colour.b) / 3;
  int step = (mean - 8 + 5) / 10;
  step = step < 0 ? 0 : (step >= kGreySteps ? kGreySteps - 1 : step);
  const int grey_index = kGreyFirst + step;

  const bool grey_nearer =
      squared_distance(colour, palette_colour(static_cast<std::uint8_t>(grey_index))) <
      squared_distance(colour, palette_colour(static_cast<std::uint8_t>(cube_index)));
  return static_cast<std::uint8_t>(grey_nearer ? grey_index : cube_index);
}

Rgb palette_colour(std::uint8_t index) {
  if (index >= kGreyFirst) {
    const auto value = static_cast<std::uint8_t>(grey_value(index - kGreyFirst));
    return {value, value, value};
  }
  // The system colours have no fixed value; they are shown as black here.
  if (index < kCubeFirst) return {};
  const int offset = index - kCubeFirst;
  return {static_cast<std::uint8_t>(kCubeLevels[offset / 36]),
          static_cast<std::uint8_t>(kCubeLevels[offset / 6 % 6]),
          static_cast<std::uint8_t>(kCubeLevels[offset % 6])};
}

}  // namespace facetview
