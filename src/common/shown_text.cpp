#include "common/shown_text.hpp"

namespace facetview {

std::string shown_text(std::string_view bytes, std::size_t most) {
  constexpr char kHex[] = "0123456789abcdef";
  const std::string_view kept = bytes.substr(0, most);
  std::string text;
  text.reserve(kept.size() + 3);
  for (const char c : kept) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte < 0x7F) {
      text += c;
    } else {
      text += "\\x";
      text += kHex[byte >> 4];
      text += kHex[byte & 0xF];
    }
  }
  if (kept.size() < bytes.size()) text += "...";
  return text;
}

}  // namespace facetview
