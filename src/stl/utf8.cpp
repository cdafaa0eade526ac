#include "stl/utf8.hpp"

#include <cstdint>
#include <cstring>

namespace facetview {
namespace {

constexpr std::uint64_t kHighBits = 0x8080808080808080u;
constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";

// Skips ASCII bytes from `i`, eight at a time while none has its high bit set.
std::size_t skip_ascii(const unsigned char* data, std::size_t size, std::size_t i) {
  while (i + sizeof(std::uint64_t) <= size) {
    std::uint64_t word;
    std::memcpy(&word, data + i, sizeof word);
    if (word & kHighBits) break;
    i += sizeof word;
  }
  while (i < size && data[i] < 0x80) ++i;
  return i;
}

}  // namespace

std::optional<Utf8Fault> find_utf8_fault(std::string_view bytes) {
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t size = bytes.size();
  std::size_t i = 0;
  while (true) {
    i = skip_ascii(data, size, i);
    if (i == size) return std::nullopt;

    const unsigned char lead = data[i];
    std::size_t width = 0;
    // The second byte's range also excludes overlong forms, surrogates
    // (ED A0..BF) and code points above U+10FFFF (F4 90..).
    unsigned char second_low = 0x80;
    unsigned char second_high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
      width = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      width = 3;
      if (lead == 0xE0) second_low = 0xA0;
      if (lead == 0xED) second_high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      width = 4;
      if (lead == 0xF0) second_low = 0x90;
      if (lead == 0xF4) second_high = 0x8F;
    } else {
      return Utf8Fault{i, 1};
    }
    for (std::size_t k = 1; k < width; ++k) {
      if (i + k >= size) return Utf8Fault{i, std::nullopt};
      const unsigned char byte = data[i + k];
      const unsigned char low = k == 1 ? second_low : 0x80;
      const unsigned char high = k == 1 ? second_high : 0xBF;
      if (byte < low || byte > high) return Utf8Fault{i, k};
    }
    i += width;
  }
}

Error utf8_fault_error(const Utf8Fault& fault) {
  const std::string index = std::to_string(fault.valid_up_to);
  if (!fault.sequence_length) return Error("incomplete utf-8 byte sequence from index " + index);
  return Error("invalid utf-8 sequence of " + std::to_string(*fault.sequence_length) +
               " bytes from index " + index);
}

std::string to_utf8_lossy(std::string_view bytes) {
  std::string text;
  text.reserve(bytes.size());
  while (const std::optional<Utf8Fault> fault = find_utf8_fault(bytes)) {
    text.append(bytes.substr(0, fault->valid_up_to));
    text.append(kReplacementCharacter);
    if (!fault->sequence_length) return text;
    bytes.remove_prefix(fault->valid_up_to + *fault->sequence_length);
  }
  text.append(bytes);
  return text;
}

}  // namespace facetview
