#include "common/utf8.hpp"

#include <cstdint>

namespace facetview {

Utf8Sequence decode_utf8(std::string_view bytes) {
  const auto lead = static_cast<unsigned char>(bytes[0]);
  if (lead < 0x80) return {lead, 1, true, false};

  std::size_t width = 0;
  char32_t code = 0;
  // The second byte's range also excludes overlong forms, surrogates
  // (ED A0..BF) and code points above U+10FFFF (F4 90..).
  unsigned char second_low = 0x80;
  unsigned char second_high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    width = 2;
    code = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    width = 3;
    code = lead & 0x0F;
    if (lead == 0xE0) second_low = 0xA0;
    if (lead == 0xED) second_high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    width = 4;
    code = lead & 0x07;
    if (lead == 0xF0) second_low = 0x90;
    if (lead == 0xF4) second_high = 0x8F;
  } else {
    return {kReplacementCharacter, 1, false, false};
  }
  for (std::size_t k = 1; k < width; ++k) {
    if (k == bytes.size()) return {kReplacementCharacter, k, false, true};
    const auto byte = static_cast<unsigned char>(bytes[k]);
    const unsigned char low = k == 1 ? second_low : 0x80;
    const unsigned char high = k == 1 ? second_high : 0xBF;
    if (byte < low || byte > high) return {kReplacementCharacter, k, false, false};
    code = (code << 6) | (byte & 0x3F);
  }
  return {code, width, true, false};
}

char32_t take_code_point(std::string_view& text, Utf8Replacement replacement) {
  const Utf8Sequence sequence = decode_utf8(text);
  const bool whole = sequence.valid || replacement == Utf8Replacement::each_maximal_subpart;
  text.remove_prefix(whole ? sequence.length : 1);
  return sequence.code_point;
}

void append_utf8(std::string& out, char32_t code) {
  const auto byte = [&out](std::uint32_t value) { out += static_cast<char>(value); };
  if (code < 0x80) {
    byte(code);
  } else if (code < 0x800) {
    byte(0xC0 | (code >> 6));
    byte(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    byte(0xE0 | (code >> 12));
    byte(0x80 | ((code >> 6) & 0x3F));
    byte(0x80 | (code & 0x3F));
  } else {
    byte(0xF0 | (code >> 18));
    byte(0x80 | ((code >> 12) & 0x3F));
    byte(0x80 | ((code >> 6) & 0x3F));
    byte(0x80 | (code & 0x3F));
  }
}

}  // namespace facetview
