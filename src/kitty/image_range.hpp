// The image ids and z-indices that one kitty presenter draws with. Every
// surface in a process shares the terminal's one id space: the shared range
// is the whole of it, and its presenter starts afresh by deleting every image;
// a private range is a slice of it, and its presenter deletes only its own
// images, one id at a time, so that several surfaces (or several pictures left
// in the scrollback) keep to themselves.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>

namespace facetview {

class ImageRange {
 public:
  // Private ranges are numbered 1 to private_range_count.
  static constexpr std::uint32_t private_range_count = 254;
  // Ids of one private range: room for 2^23 tiles of two ids each, far more
  // than a screen holds.
  static constexpr std::uint32_t private_ids = 1u << 24;
  // Placements one private range has z-indices for between two rebuilds;
  // later ones share its top z-index.
  static constexpr std::int32_t private_z_span = 1 << 21;
  static constexpr std::int32_t initial_z = -1000000000;

  // The shared range: ids 2i + 1 and 2i + 2 for tile i, z-indices from
  // initial_z up to the largest int32.
  constexpr ImageRange() = default;
  // Private range number (1 to private_range_count; 0 is the shared range).
  constexpr explicit ImageRange(std::uint32_t number) : number_(number) {}

  constexpr bool shared() const { return number_ == 0; }
  constexpr std::uint32_t number() const { return number_; }

  // The id of tile index in slot: every tile owns two ids, so a new picture can
  // be placed above the old one before the old one is deleted. A private range
  // wraps its tiles beyond its room onto its own ids, never into another range.
  constexpr std::uint32_t image_id(std::size_t index, std::uint8_t slot) const {
    if (shared()) return static_cast<std::uint32_t>(2 * index + slot + 1);
    const std::size_t tiles = private_ids / 2;
    return number_ * private_ids + static_cast<std::uint32_t>(2 * (index % tiles) + slot + 1);
  }

  constexpr std::int32_t first_z() const {
    return initial_z + static_cast<std::int32_t>(number_) * private_z_span;
  }
  constexpr std::int32_t last_z() const {
    return shared() ? std::numeric_limits<std::int32_t>::max() : first_z() + private_z_span - 1;
  }

  friend constexpr bool operator==(ImageRange, ImageRange) = default;

 private:
  std::uint32_t number_ = 0;
};

static_assert(
    ImageRange(ImageRange::private_range_count).image_id(ImageRange::private_ids / 2 - 1, 1) <
        std::numeric_limits<std::uint32_t>::max(),
    "private ids stay within 32 bits");
static_assert(ImageRange(ImageRange::private_range_count).last_z() < 0,
              "private z-indices stay below the text");

}  // namespace facetview
