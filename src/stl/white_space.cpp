#include "stl/white_space.hpp"

#include <algorithm>

namespace facetview {

bool is_white_space(char32_t c) {
  return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
         (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F ||
         c == 0x3000;
}

namespace {

// The ASCII members of White_Space: tab, LF, VT, FF, CR and space.
bool is_ascii_white_space(unsigned char c) {
  return c == ' ' || (c >= 0x09 && c <= 0x0D);
}

}  // namespace

std::optional<std::string_view> WordSplitter::next() {
  const std::size_t size = line_.size();
  while (position_ < size) {
    const auto c = static_cast<unsigned char>(line_[position_]);
    const std::size_t length =
        c < 0x80 ? (is_ascii_white_space(c) ? 1 : 0) : non_ascii_white_space_length(position_);
    if (length == 0) break;
    position_ += length;
  }
  if (position_ == size) return std::nullopt;
  const std::size_t start = position_;
  while (position_ < size) {
    // Plain ASCII, the common case, needs no decoding.
    const auto c = static_cast<unsigned char>(line_[position_]);
    if (c < 0x80) {
      if (is_ascii_white_space(c)) break;
      ++position_;
    } else {
      if (non_ascii_white_space_length(position_) != 0) break;
      position_ += character_length(position_);
    }
  }
  return line_.substr(start, position_ - start);
}

std::size_t WordSplitter::character_length(std::size_t position) const {
  const auto lead = static_cast<unsigned char>(line_[position]);
  const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
  return std::min(length, line_.size() - position);
}

std::size_t WordSplitter::non_ascii_white_space_length(std::size_t position) const {
  const auto lead = static_cast<unsigned char>(line_[position]);
  // All white space beyond ASCII is two or three bytes long.
  const std::size_t length = character_length(position);
  if (lead < 0xC2 || lead >= 0xF0 || (lead < 0xE0 ? length != 2 : length != 3)) return 0;
  const auto byte = [&](std::size_t k) {
    return static_cast<char32_t>(static_cast<unsigned char>(line_[position + k]) & 0x3F);
  };
  const char32_t code_point = length == 2 ? ((lead & 0x1Fu) << 6) | byte(1)
                                          : ((lead & 0x0Fu) << 12) | (byte(1) << 6) | byte(2);
  return is_white_space(code_point) ? length : 0;
}

}  // namespace facetview
