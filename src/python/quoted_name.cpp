#include "python/quoted_name.hpp"

#include <cstdio>

#include "common/utf8.hpp"
#include "python/unicode/character_ranges.hpp"

namespace facetview {
namespace {

bool needs_hex_escape(char32_t code) {
  return in_ranges(kNonPrintableRanges, code) || in_ranges(kGraphemeExtendRanges, code);
}

void append_hex_escape(std::string& out, char32_t code) {
  char digits[16];
  const int length = std::snprintf(digits, sizeof digits, "%x", static_cast<unsigned int>(code));
  out += "\\u{";
  out.append(digits, static_cast<std::size_t>(length));
  out += '}';
}

}  // namespace

std::string quoted_name(std::string_view utf8_name) {
  std::string out = "\"";
  while (!utf8_name.empty()) {
    // Each stray byte shows as a U+FFFD of its own.
    const char32_t code = take_code_point(utf8_name, Utf8Replacement::each_byte);
    switch (code) {
      case U'"':
        out += "\\\"";
        break;
      case U'\\':
        out += "\\\\";
        break;
      case U'\0':
        out += "\\0";
        break;
      case U'\t':
        out += "\\t";
        break;
      case U'\r':
        out += "\\r";
        break;
      case U'\n':
        out += "\\n";
        break;
      default:
        if (needs_hex_escape(code)) {
          append_hex_escape(out, code);
        } else {
          append_utf8(out, code);
        }
    }
  }
  out += '"';
  return out;
}

}  // namespace facetview
