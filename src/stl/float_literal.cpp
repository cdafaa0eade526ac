#include "stl/float_literal.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>

namespace facetview {
namespace {

// Exponents beyond this are out of any float's range either way; stopping here
// keeps the arithmetic far from overflow for absurdly long exponents.
constexpr std::int64_t kExponentLimit = std::int64_t{1} << 48;

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

bool equals_ignoring_case(std::string_view text, std::string_view lower_case_word) {
  return std::equal(text.begin(), text.end(), lower_case_word.begin(), lower_case_word.end(),
                    [](char c, char w) { return (c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c) == w; });
}

// What the decimal form says about the value's size, for the values that
// std::from_chars finds out of range.
struct DecimalShape {
  std::int64_t digits_before_point = 0;
  std::int64_t first_nonzero_digit = -1;  // index among all mantissa digits, -1 for none
  std::int64_t exponent = 0;

  // The first nonzero digit's place value is 10^(digits_before_point - 1 -
  // first_nonzero_digit + exponent), so the magnitude is at least 1 exactly
  // when that power is not negative.
  bool magnitude_at_least_one() const {
    return first_nonzero_digit >= 0 && digits_before_point - first_nonzero_digit + exponent > 0;
  }
};

// Checks the decimal grammar of `text` (sign already removed) and records its
// shape; false when the text is not a decimal number.
bool scan_decimal(std::string_view text, DecimalShape& shape) {
  std::size_t i = 0;
  std::int64_t digits = 0;
  bool seen_point = false;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (is_digit(c)) {
      if (c != '0' && shape.first_nonzero_digit < 0) shape.first_nonzero_digit = digits;
      ++digits;
      if (!seen_point) ++shape.digits_before_point;
    } else if (c == '.' && !seen_point) {
      seen_point = true;
    } else {
      break;
    }
  }
  if (digits == 0) return false;
  if (i == text.size()) return true;
  if (text[i] != 'e' && text[i] != 'E') return false;
  ++i;
  bool negative_exponent = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative_exponent = text[i++] == '-';
  const std::size_t exponent_start = i;
  for (; i < text.size() && is_digit(text[i]); ++i) {
    shape.exponent = std::min(shape.exponent * 10 + (text[i] - '0'), kExponentLimit);
  }
  if (negative_exponent) shape.exponent = -shape.exponent;
  return i > exponent_start && i == text.size();
}

}  // namespace

std::optional<float> parse_float_literal(std::string_view word) {
  constexpr float kInfinity = std::numeric_limits<float>::infinity();
  const bool has_sign = !word.empty() && (word[0] == '+' || word[0] == '-');
  const bool negative = has_sign && word[0] == '-';
  const std::string_view unsigned_part = word.substr(has_sign ? 1 : 0);
  const float sign = negative ? -1.0f : 1.0f;

  if (equals_ignoring_case(unsigned_part, "inf") ||
      equals_ignoring_case(unsigned_part, "infinity")) {
    return sign * kInfinity;
  }
  if (equals_ignoring_case(unsigned_part, "nan")) {
    return std::copysign(std::numeric_limits<float>::quiet_NaN(), sign);
  }

  DecimalShape shape;
  if (!scan_decimal(unsigned_part, shape)) return std::nullopt;
  // std::from_chars rounds straight to float but rejects a leading "+", so it
  // gets the text without one.
  const char* first = negative ? word.data() : unsigned_part.data();
  const char* last = word.data() + word.size();
  float value = 0.0f;
  const auto [end, error] = std::from_chars(first, last, value);
  if (error == std::errc() && end == last) return value;
  if (error == std::errc::result_out_of_range) {
    return sign * (shape.magnitude_at_least_one() ? kInfinity : 0.0f);
  }
  return std::nullopt;
}

}  // namespace facetview
