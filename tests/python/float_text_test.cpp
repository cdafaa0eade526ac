#include "python/float_text.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

namespace facetview {
namespace {

struct FloatTextCase {
  float value;
  const char* text;
};

class FloatTextTest : public testing::TestWithParam<FloatTextCase> {};

TEST_P(FloatTextTest, WritesShortestPositionalText) {
  EXPECT_EQ(float_text(GetParam().value), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Values, FloatTextTest,
    testing::Values(
        FloatTextCase{0.45f, "0.45"}, FloatTextCase{-0.55f, "-0.55"}, FloatTextCase{0.0f, "0"},
        FloatTextCase{-0.0f, "-0"}, FloatTextCase{1.0f, "1"}, FloatTextCase{2.0f, "2"},
        FloatTextCase{-12.5f, "-12.5"}, FloatTextCase{123456.0f, "123456"},
        FloatTextCase{1e20f, "100000000000000000000"}, FloatTextCase{16777216.0f, "16777216"},
        FloatTextCase{0.001f, "0.001"}, FloatTextCase{1.5e-7f, "0.00000015"},
        FloatTextCase{std::numeric_limits<float>::max(), "340282350000000000000000000000000000000"},
        FloatTextCase{std::numeric_limits<float>::denorm_min(),
                      "0.000000000000000000000000000000000000000000001"},
        FloatTextCase{std::numeric_limits<float>::quiet_NaN(), "NaN"},
        FloatTextCase{-std::numeric_limits<float>::quiet_NaN(), "NaN"},
        FloatTextCase{std::numeric_limits<float>::infinity(), "inf"},
        FloatTextCase{-std::numeric_limits<float>::infinity(), "-inf"}));

// Every finite text must read back as the same float and carry no exponent.
TEST(FloatTextRoundTrip, ReadsBackExactlyAcrossMagnitudes) {
  for (float magnitude = 1e-38f; magnitude < 1e38f; magnitude *= 3.7f) {
    for (const float value : {magnitude, -magnitude}) {
      const std::string text = float_text(value);
      EXPECT_EQ(text.find_first_of("eE"), std::string::npos) << text;
      EXPECT_EQ(std::strtof(text.c_str(), nullptr), value) << text;
    }
  }
}

}  // namespace
}  // namespace facetview
