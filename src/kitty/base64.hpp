// Base64 as in RFC 4648: standard alphabet, "=" padding, no line breaks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace facetview {

// Length of the padded Base64 text of size bytes.
constexpr std::size_t base64_encoded_size(std::size_t size) {
  return (size + 2) / 3 * 4;
}

// Replaces the contents of text with the Base64 text of bytes. The string is
// reused so that its capacity carries over from one call to the next.
void base64_encode(std::span<const std::uint8_t> bytes, std::string& text);

}  // namespace facetview
