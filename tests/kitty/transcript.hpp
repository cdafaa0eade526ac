// Reads back what the presenter wrote: the sequences without their payloads,
// and each transmitted image decoded to pixels.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "kitty/tile.hpp"

namespace facetview {

struct Transcript {
  // Every sequence in order: "G:" and the control keys of a graphics command
  // (its text up to ";" or the terminator), or "CUP:" and "row;column".
  std::vector<std::string> sequences;
  // The Base64 text of each transmitted image, its chunks joined.
  std::vector<std::string> payloads;
};

// Splits bytes into sequences; any byte outside a sequence fails the test.
Transcript read_transcript(std::string_view bytes);

// RFC 4648 Base64 decoding; malformed text fails the test.
std::vector<std::uint8_t> decode_base64(std::string_view text);

// Inflates one complete zlib stream; anything else fails the test.
std::vector<std::uint8_t> inflate_zlib(std::span<const std::uint8_t> stream);

// Base64, then zlib: the pixels of one transmitted image.
std::vector<std::uint8_t> decode_payload(std::string_view payload);

// The tile's rectangle of an RGBA frame, rows top to bottom, no gaps.
std::vector<std::uint8_t> crop(std::span<const std::uint8_t> frame, std::uint32_t frame_width,
                               const Tile& tile);

}  // namespace facetview
