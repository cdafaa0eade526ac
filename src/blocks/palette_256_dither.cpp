#include "blocks/palette_256_dither.hpp"

#include <algorithm>
#include <climits>

#include "blocks/palette_256.hpp"

namespace facetview {

namespace {

constexpr int kCacheBits = 12;
constexpr int kFirstEntry = 16;  // the system colours below are the terminal's own
constexpr int kEntries = 256;
constexpr int kRefiningPasses = 2;

// 4 x 4 Bayer matrix: the order in which a pattern's 16 entries fill a block.
constexpr std::uint8_t bayer[4][4] = {
    {0, 8, 2, 10},
    {12, 4, 14, 6},
    {3, 11, 1, 9},
    {15, 7, 13, 5},
};

// Squared distance weighted by how strongly the eye tells each channel apart.
int perceived_distance(int dr, int dg, int db) {
  return 3 * dr * dr + 4 * dg * dg + 2 * db * db;
}

std::uint8_t nearest_entry(int r, int g, int b) {
  int best_distance = INT_MAX;
  int best = kFirstEntry;
  for (int index = kFirstEntry; index < kEntries; ++index) {
    const Rgb entry = palette_colour(static_cast<std::uint8_t>(index));
    const int distance = perceived_distance(r - entry.r, g - entry.g, b - entry.b);
    if (distance < best_distance) {
      best_distance = distance;
      best = index;
    }
  }
  return static_cast<std::uint8_t>(best);
}

int lightness(std::uint8_t index) {
  const Rgb colour = palette_colour(index);
  return 299 * colour.r + 587 * colour.g + 114 * colour.b;
}

}  // namespace

std::uint8_t Palette256Dither::index_at(Rgb colour, std::uint32_t x, std::uint32_t y) {
  return pattern_of(colour).indices[bayer[y % 4][x % 4]];
}

const Palette256Dither::Pattern& Palette256Dither::pattern_of(Rgb colour) {
  if (cache_.empty()) cache_.resize(std::size_t{1} << kCacheBits);
  const std::uint32_t key = std::uint32_t{colour.r} << 16 | std::uint32_t{colour.g} << 8 | colour.b;
  Pattern& pattern = cache_[(key * 2654435761u) >> (32 - kCacheBits)];
  if (pattern.key == key) return pattern;
  // Each choice aims at the colour plus the error of the choices so far, so
  // the 16 entries together come as close to 16 times the colour as they can.
  int error[3] = {0, 0, 0};
  const int target[3] = {colour.r, colour.g, colour.b};
  for (std::uint8_t& index : pattern.indices) {
    int aim[3];
    for (int channel = 0; channel < 3; ++channel) {
      aim[channel] = std::clamp(target[channel] + error[channel], 0, 255);
    }
    index = nearest_entry(aim[0], aim[1], aim[2]);
    const Rgb chosen = palette_colour(index);
    error[0] += target[0] - chosen.r;
    error[1] += target[1] - chosen.g;
    error[2] += target[2] - chosen.b;
  }
  // Each entry again, as the one that brings the whole pattern nearest the
  // colour with the others kept: the choices above leave the last error over.
  for (int pass = 0; pass < kRefiningPasses; ++pass) {
    int total[3] = {0, 0, 0};
    for (const std::uint8_t index : pattern.indices) {
      const Rgb chosen = palette_colour(index);
      total[0] += chosen.r;
      total[1] += chosen.g;
      total[2] += chosen.b;
    }
    for (std::uint8_t& index : pattern.indices) {
      const Rgb chosen = palette_colour(index);
      const int wanted[3] = {static_cast<int>(kPatternSize) * target[0] - (total[0] - chosen.r),
                             static_cast<int>(kPatternSize) * target[1] - (total[1] - chosen.g),
                             static_cast<int>(kPatternSize) * target[2] - (total[2] - chosen.b)};
      index = nearest_entry(wanted[0], wanted[1], wanted[2]);
      const Rgb replaced = palette_colour(index);
      total[0] += replaced.r - chosen.r;
      total[1] += replaced.g - chosen.g;
      total[2] += replaced.b - chosen.b;
    }
  }
  std::stable_sort(pattern.indices.begin(), pattern.indices.end(),
                   [](std::uint8_t a, std::uint8_t b) { return lightness(a) < lightness(b); });
  pattern.key = key;
  return pattern;
}

}  // namespace facetview
