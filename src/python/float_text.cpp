#include "python/float_text.hpp"

#include <charconv>
#include <cmath>
#include <string_view>

namespace facetview {

std::string float_text(float value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value < 0 ? "-inf" : "inf";

  // Scientific form gives the shortest round-trip digits and the exponent
  // ("-1.2345e-07"); the fixed form would print every digit of the exact value.
  char buffer[32];
  const auto [end, status] =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
  std::string_view text(buffer, static_cast<std::size_t>(end - buffer));

  std::string result;
  if (text.front() == '-') {
    result += '-';
    text.remove_prefix(1);
  }
  const std::size_t exponent_mark = text.find('e');
  std::string digits;
  for (const char c : text.substr(0, exponent_mark)) {
    if (c != '.') digits += c;
  }
  std::string_view exponent_text = text.substr(exponent_mark + 1);
  if (exponent_text.front() == '+') exponent_text.remove_prefix(1);
  int exponent = 0;
  std::from_chars(exponent_text.data(), exponent_text.data() + exponent_text.size(), exponent);

  // The decimal point goes after this many digits (counted from the first one).
  const int point = exponent + 1;
  const auto digit_count = static_cast<int>(digits.size());
  if (point <= 0) {
    result += "0.";
    result.append(static_cast<std::size_t>(-point), '0');
    result += digits;
  } else if (point >= digit_count) {
    result += digits;
    result.append(static_cast<std::size_t>(point - digit_count), '0');
  } else {
    result.append(digits, 0, static_cast<std::size_t>(point));
    result += '.';
    result.append(digits, static_cast<std::size_t>(point));
  }
  return result;
}

}  // namespace facetview
