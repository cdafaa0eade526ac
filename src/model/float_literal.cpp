#include "model/float_literal.hpp"

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

// What the decimal form says about the value: its digits as a whole number,
// exact while there are at most 19 of them, and the powers of ten.
struct DecimalShape {
  std::uint64_t significand = 0;  // the mantissa's digits as a whole number, modulo 2^64
  std::int64_t digits = 0;        // mantissa digits, leading zeros included
  std::int64_t digits_before_point = 0;
  std::int64_t exponent = 0;
  std::int64_t power = 0;  // the value is significand * 10^power

  // For the values that std::from_chars finds out of range: the first nonzero
  // digit (index f among the mantissa digits of `text`) has the place value
  // 10^(digits_before_point - 1 - f + exponent), so the magnitude is at least
  // 1 exactly when that power is not negative.
  bool magnitude_at_least_one(std::string_view text) const {
    std::int64_t index = 0;
    for (const char c : text) {
      if (c == 'e' || c == 'E') break;
      if (!is_digit(c)) continue;
      if (c != '0') return digits_before_point - index + exponent > 0;
      ++index;
    }
    return false;
  }
};

// Up to 19 digits fit the 64-bit significand.
constexpr std::int64_t kMaxSignificandDigits = 19;

// Checks the decimal grammar of `text` (sign already removed) and records its
// shape in one pass; false when the text is not a decimal number.
bool scan_decimal(std::string_view text, DecimalShape& shape) {
  const char* p = text.data();
  const char* const end = p + text.size();
  std::uint64_t significand = 0;
  const char* const mantissa = p;
  for (; p != end && is_digit(*p); ++p) significand = significand * 10 + unsigned(*p - '0');
  shape.digits_before_point = p - mantissa;
  std::int64_t digits_after_point = 0;
  if (p != end && *p == '.') {
    const char* const fraction = ++p;
    for (; p != end && is_digit(*p); ++p) significand = significand * 10 + unsigned(*p - '0');
    digits_after_point = p - fraction;
  }
  shape.significand = significand;
  shape.digits = shape.digits_before_point + digits_after_point;
  if (shape.digits == 0) return false;
  if (p != end) {
    if (*p != 'e' && *p != 'E') return false;
    ++p;
    bool negative_exponent = false;
    if (p != end && (*p == '+' || *p == '-')) negative_exponent = *p++ == '-';
    if (p == end || !is_digit(*p)) return false;
    for (; p != end && is_digit(*p); ++p) {
      shape.exponent = std::min(shape.exponent * 10 + (*p - '0'), kExponentLimit);
    }
    if (p != end) return false;
    if (negative_exponent) shape.exponent = -shape.exponent;
  }
  shape.power = shape.exponent - digits_after_point;
  return true;
}

// Whole numbers below 2^24 and the powers of ten up to 10^10 are floats
// exactly, so one float multiplication or division rounds their product or
// quotient once, correctly.
constexpr std::uint64_t kExactSignificandLimit = std::uint64_t{1} << 24;
constexpr std::int64_t kExactPowerOfTen = 10;
constexpr float kPowersOfTen[kExactPowerOfTen + 1] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f,
                                                      1e6f, 1e7f, 1e8f, 1e9f, 1e10f};

// The value of a decimal with few significant digits and a small power of
// ten, the common case, without std::from_chars.
std::optional<float> exact_short_decimal(const DecimalShape& shape, bool negative) {
  if (shape.digits > kMaxSignificandDigits || shape.significand >= kExactSignificandLimit ||
      shape.power < -kExactPowerOfTen || shape.power > kExactPowerOfTen) {
    return std::nullopt;
  }
  const auto digits = static_cast<float>(shape.significand);
  const float magnitude =
      shape.power < 0 ? digits / kPowersOfTen[-shape.power] : digits * kPowersOfTen[shape.power];
  return negative ? -magnitude : magnitude;
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
  if (const std::optional<float> value = exact_short_decimal(shape, negative)) return value;
  // std::from_chars rounds longer ones straight to float but rejects a leading
  // "+", so it gets the text without one.
  const char* first = negative ? word.data() : unsigned_part.data();
  const char* last = word.data() + word.size();
  float value = 0.0f;
  const auto [end, error] = std::from_chars(first, last, value);
  if (error == std::errc() && end == last) return value;
  if (error == std::errc::result_out_of_range) {
    return sign * (shape.magnitude_at_least_one(unsigned_part) ? kInfinity : 0.0f);
  }
  return std::nullopt;
}

}  // namespace facetview
