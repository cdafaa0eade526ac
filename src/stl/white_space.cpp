#include "stl/white_space.hpp"

#include "common/utf8.hpp"

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
  return decode_utf8(line_.substr(position)).length;
}

std::size_t WordSplitter::non_ascii_white_space_length(std::size_t position) const {
  const Utf8Sequence character = decode_utf8(line_.substr(position));
  return is_white_space(character.code_point) ? character.length : 0;
}

}  // namespace facetview
