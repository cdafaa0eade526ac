#include "common/utf8_validation.hpp"

#include <cstdint>
#include <cstring>

#include "common/utf8.hpp"

namespace facetview {
namespace {

constexpr std::uint64_t kHighBits = 0x8080808080808080u;

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
  for (std::size_t i = skip_ascii(data, size, 0); i < size; i = skip_ascii(data, size, i)) {
    const Utf8Sequence sequence = decode_utf8(bytes.substr(i));
    if (sequence.truncated) return Utf8Fault{i, std::nullopt};
    if (!sequence.valid) return Utf8Fault{i, sequence.length};
    i += sequence.length;
  }
  return std::nullopt;
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
  while (!bytes.empty()) {
    append_utf8(text, take_code_point(bytes, Utf8Replacement::each_maximal_subpart));
  }
  return text;
}

}  // namespace facetview
