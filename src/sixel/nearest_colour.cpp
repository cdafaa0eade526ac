#include "sixel/nearest_colour.hpp"

#include <algorithm>
#include <climits>

namespace facetview {

namespace {

constexpr int kCacheBits = 16;
constexpr std::uint32_t kEmptySlot = 0xFFFFFFFF;  // no 24-bit key has it

std::uint32_t colour_key(Rgb colour) {
  return std::uint32_t{colour.r} << 16 | std::uint32_t{colour.g} << 8 | colour.b;
}

std::size_t cache_slot(std::uint32_t key) {
  return (key * 2654435761u) >> (32 - kCacheBits);
}

}  // namespace

void NearestColour::set_palette(std::span<const Rgb> palette) {
  by_green_.clear();
  for (std::size_t index = 0; index < palette.size() && index < 256; ++index) {
    by_green_.push_back({palette[index], static_cast<std::uint8_t>(index)});
  }
  std::stable_sort(by_green_.begin(), by_green_.end(),
                   [](const Sorted& a, const Sorted& b) { return a.colour.g < b.colour.g; });
  cached_keys_.assign(std::size_t{1} << kCacheBits, kEmptySlot);
  cached_indices_.resize(std::size_t{1} << kCacheBits);
}

std::uint8_t NearestColour::index_of(Rgb colour) {
  const std::uint32_t key = colour_key(colour);
  const std::size_t slot = cache_slot(key);
  if (cached_keys_[slot] != key) {
    cached_keys_[slot] = key;
    cached_indices_[slot] = search(colour);
  }
  return cached_indices_[slot];
}

std::uint8_t NearestColour::search(Rgb colour) const {
  if (by_green_.empty()) return 0;
  int best_distance = INT_MAX;
  std::uint8_t best = 0;
  const auto consider = [&](const Sorted& entry) {
    const int dr = colour.r - entry.colour.r;
    const int dg = colour.g - entry.colour.g;
    const int db = colour.b - entry.colour.b;
    const int distance = dr * dr + dg * dg + db * db;
    if (distance < best_distance || (distance == best_distance && entry.index < best)) {
      best_distance = distance;
      best = entry.index;
    }
  };
  // Outwards in green from the colour's place: once the green difference
  // alone exceeds the best distance, nothing further on that side can win.
  const auto start = std::lower_bound(
      by_green_.begin(), by_green_.end(), colour.g,
      [](const Sorted& entry, std::uint8_t green) { return entry.colour.g < green; });
  auto up = start;
  auto down = start;
  bool up_open = up != by_green_.end();
  bool down_open = down != by_green_.begin();
  while (up_open || down_open) {
    if (up_open) {
      const int dg = up->colour.g - colour.g;
      if (dg * dg > best_distance) {
        up_open = false;
      } else {
        consider(*up);
        up_open = ++up != by_green_.end();
      }
    }
    if (down_open) {
      const int dg = colour.g - (down - 1)->colour.g;
      if (dg * dg > best_distance) {
        down_open = false;
      } else {
        consider(*--down);
        down_open = down != by_green_.begin();
      }
    }
  }
  return best;
}

}  // namespace facetview
