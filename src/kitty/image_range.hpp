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
  // Ids of one private range: room for 32767 tiles of two ids each, a screen
  // of a quarter of a million cells.
  static constexpr std::uint32_t kPrivateIds = 1u << 16;
  static constexpr std::uint32_t kLastNumber = 65535;
  // Placements one private range has z-indices for between two fresh starts;
  // later ones share its top z-index. Ranges whose numbers differ by a
  // multiple of kZRanges share z-indices.
  static constexpr std::int32_t kPrivateZSpan = 1 << 18;
  static constexpr std::uint32_t kZRanges = 2048;
  static constexpr std::int32_t kInitialZ = -1000000000;

  // The shared range: ids 2i + 1 and 2i + 2 for tile i, z-indices from
  // kInitialZ up to the largest int32.
  constexpr ImageRange() = default;
  // Private range number, 1 to kLastNumber (0 is the shared range): ids from
  // number * kPrivateIds on.
  constexpr explicit ImageRange(std::uint32_t number) : number_(number) {}

  constexpr bool shared() const { return number_ == 0; }
  constexpr std::uint32_t number() const { return number_; }

  // The id of tile index in slot: every tile owns two ids, so a new picture can
  // be placed above the old one before the old one is deleted. A private range
  // wraps its tiles beyond its room onto its own ids, never into another range.
  constexpr std::uint32_t image_id(std::size_t index, std::uint8_t slot) const {
    if (shared()) return static_cast<std::uint32_t>(2 * index + slot + 1);
    constexpr std::size_t room = kPrivateIds / 2 - 1;
    return number_ * kPrivateIds + static_cast<std::uint32_t>(2 * (index % room) + slot + 1);
  }

  constexpr std::int32_t first_z() const {
    if (shared()) return kInitialZ;
    return kInitialZ + static_cast<std::int32_t>(number_ % kZRanges) * kPrivateZSpan;
  }
  constexpr std::int32_t last_z() const {
    return shared() ? std::numeric_limits<std::int32_t>::max() : first_z() + kPrivateZSpan - 1;
  }

  friend constexpr bool operator==(ImageRange, ImageRange) = default;

 private:
  std::uint32_t number_ = 0;
};

static_assert(ImageRange(ImageRange::kLastNumber).image_id(ImageRange::kPrivateIds / 2 - 2, 1) ==
                  std::numeric_limits<std::uint32_t>::max() - 1,
              "private ids stay within 32 bits, and never 0");
static_assert(ImageRange(ImageRange::kZRanges - 1).last_z() < 0,
              "private z-indices stay below the text");

}  // namespace facetview
