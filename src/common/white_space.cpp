#include "common/white_space.hpp"

#include <bit>
#include <cstdint>
#include <cstring>

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

constexpr std::uint64_t kEveryByte = 0x0101010101010101u;
constexpr std::uint64_t kHighBits = 0x8080808080808080u;

std::uint64_t load_word(const unsigned char* bytes) {
  std::uint64_t word;
  std::memcpy(&word, bytes, sizeof word);
  if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap64(word);
  return word;
}

// Steps over plain spaces, eight bytes at a time, up to the first other byte.
std::size_t skip_spaces(const unsigned char* bytes, std::size_t size, std::size_t position) {
  for (; position + 8 <= size; position += 8) {
    const std::uint64_t others = load_word(bytes + position) ^ (kEveryByte * ' ');
    if (others != 0) return position + static_cast<std::size_t>(std::countr_zero(others)) / 8;
  }
  while (position < size && bytes[position] == ' ') ++position;
  return position;
}

// Steps over bytes from '!' to 0x7F, which are never white space, eight at a
// time, up to the first byte below '!' or above 0x7F. Below the first such
// byte no lane borrows, so the lowest lane flagged is exact.
std::size_t skip_printable_ascii(const unsigned char* bytes, std::size_t size,
                                 std::size_t position) {
  for (; position + 8 <= size; position += 8) {
    const std::uint64_t word = load_word(bytes + position);
    const std::uint64_t flagged = ((word - kEveryByte * '!') | word) & kHighBits;
    if (flagged != 0) return position + static_cast<std::size_t>(std::countr_zero(flagged)) / 8;
  }
  while (position < size && bytes[position] > ' ' && bytes[position] < 0x80) ++position;
  return position;
}

}  // namespace

std::optional<std::string_view> WordSplitter::next() {
  const auto* bytes = reinterpret_cast<const unsigned char*>(line_.data());
  const std::size_t size = line_.size();
  std::size_t position = position_;
  while (position < size) {
    position = skip_spaces(bytes, size, position);
    if (position == size) break;
    const unsigned char c = bytes[position];
    const std::size_t length =
        c < 0x80 ? (is_ascii_white_space(c) ? 1 : 0) : non_ascii_white_space_length(position);
    if (length == 0) break;
    position += length;
  }
  if (position == size) {
    position_ = position;
    return std::nullopt;
  }
  const std::size_t start = position;
  while (position < size) {
    position = skip_printable_ascii(bytes, size, position);
    if (position == size) break;
    const unsigned char c = bytes[position];
    if (c < 0x80) {
      if (is_ascii_white_space(c)) break;
      ++position;
    } else {
      if (non_ascii_white_space_length(position) != 0) break;
      position += character_length(position);
    }
  }
  position_ = position;
  return line_.substr(start, position - start);
}

std::size_t WordSplitter::character_length(std::size_t position) const {
  return decode_utf8(line_.substr(position)).length;
}

std::size_t WordSplitter::non_ascii_white_space_length(std::size_t position) const {
  const Utf8Sequence character = decode_utf8(line_.substr(position));
  return is_white_space(character.code_point) ? character.length : 0;
}

}  // namespace facetview
