#include "stl/float_literal.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

namespace facetview {
namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kMax = std::numeric_limits<float>::max();
constexpr float kMinSubnormal = std::numeric_limits<float>::denorm_min();

struct NumberCase {
  std::string word;
  float expected;
};

TEST(FloatLiteral, AcceptedForms) {
  const NumberCase cases[] = {
      {"5", 5.0f},
      {"5.", 5.0f},
      {".5", 0.5f},
      {"5.25", 5.25f},
      {"-.5", -0.5f},
      {"+2", 2.0f},
      {"+.5e+1", 5.0f},
      {"1e3", 1000.0f},
      {"1E-3", 0.001f},
      {"-1.5e0", -1.5f},
      {"007", 7.0f},
      {"0.1", 0.1f},
      {"INF", kInf},
      {"-inf", -kInf},
      {"+Infinity", kInf},
      {"iNfInItY", kInf},
      {"1e39", kInf},
      {"-1e39", -kInf},
      {"1e999999999999999999999999", kInf},
      {"0.0001e43", kInf},
      {"0.0001e-42", 0.0f},
      {"3.4028235e38", kMax},
      {"3.4028235677e38", kMax},  // just below the halfway point to 2^128
      {"3.4028235678e38", kInf},  // just above it
      {"1e-40", 1e-40f},          // subnormal, not flushed
      {"8e-46", kMinSubnormal},
      {"7e-46", 0.0f},
      {"1e-999999999999999999999", 0.0f},
      {"10000000000000000000000000000000000000000e-1000", 0.0f},
      {"0e999999999999", 0.0f},
      {"1.00000005960464477539062500001", 1.00000012f},  // above the tie: rounds up
      {"1.000000059604644775390625", 1.0f},              // exact tie: to even
  };
  for (const NumberCase& c : cases) {
    SCOPED_TRACE(c.word);
    const std::optional<float> value = parse_float_literal(c.word);
    ASSERT_TRUE(value.has_value());
    EXPECT_EQ(std::bit_cast<std::uint32_t>(*value), std::bit_cast<std::uint32_t>(c.expected));
  }
}

TEST(FloatLiteral, RoundsOnceStraightToFloat) {
  // 1 + 2^-24 + 2^-60: rounding through double first would land on the tie
  // 1 + 2^-24 and then round to even, giving 1; once-rounded it is 1 + 2^-23.
  const std::optional<float> value =
      parse_float_literal("1.000000059604644776257986737988403547205962240695953369140625");
  ASSERT_TRUE(value.has_value());
  EXPECT_EQ(*value, std::nextafter(1.0f, 2.0f));
}

TEST(FloatLiteral, SignedZeroAndNaN) {
  const std::optional<float> minus_zero = parse_float_literal("-0");
  ASSERT_TRUE(minus_zero.has_value());
  EXPECT_EQ(*minus_zero, 0.0f);
  EXPECT_TRUE(std::signbit(*minus_zero));
  EXPECT_TRUE(std::signbit(*parse_float_literal("-1e-999")));
  for (const char* word : {"nan", "NaN", "-nan", "+NAN"}) {
    SCOPED_TRACE(word);
    const std::optional<float> value = parse_float_literal(word);
    ASSERT_TRUE(value.has_value());
    EXPECT_TRUE(std::isnan(*value));
  }
}

TEST(FloatLiteral, RejectedForms) {
  const char* const words[] = {
      "",     "+",   "-",    ".",     "x",     "1,5",       "0x10",    "1.0f",
      "--1",  "+-1", "-+1",  "1..2",  "1.2.3", "1e",        "1e+",     "1e-",
      "e5",   ".e5", "1e5.", "1e5e5", "infin", "infinityy", "nanq",    "nan(1)",
      "in f", " 1",  "1 ",   "1_000", "١",     "inff",      "1.5e+-3", "++inf",
  };
  for (const char* word : words) {
    SCOPED_TRACE(word);
    EXPECT_FALSE(parse_float_literal(word).has_value());
  }
}

}  // namespace
}  // namespace facetview
