#include "kitty/base64.hpp"

#include <string_view>

namespace facetview {

namespace {

constexpr std::string_view kAlphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

}  // namespace

void base64_encode(std::span<const std::uint8_t> bytes, std::string& text) {
  text.resize(base64_encoded_size(bytes.size()));
  char* out = text.data();
  const std::uint8_t* in = bytes.data();
  std::size_t remaining = bytes.size();
  for (; remaining >= 3; remaining -= 3, in += 3, out += 4) {
    const std::uint32_t group = std::uint32_t{in[0]} << 16 | std::uint32_t{in[1]} << 8 | in[2];
    out[0] = kAlphabet[group >> 18];
    out[1] = kAlphabet[group >> 12 & 63];
    out[2] = kAlphabet[group >> 6 & 63];
    out[3] = kAlphabet[group & 63];
  }
  if (remaining == 0) return;
  const std::uint32_t group =
      std::uint32_t{in[0]} << 16 | (remaining == 2 ? std::uint32_t{in[1]} << 8 : 0);
  out[0] = kAlphabet[group >> 18];
  out[1] = kAlphabet[group >> 12 & 63];
  out[2] = remaining == 2 ? kAlphabet[group >> 6 & 63] : '=';
  out[3] = '=';
}

}  // namespace facetview
