#include "python/nearest_float.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace facetview {
namespace {

constexpr float kMax = std::numeric_limits<float>::max();
constexpr float kInf = std::numeric_limits<float>::infinity();

struct NarrowingCase {
  double value;
  float expected;
};

class NearestFloatTest : public testing::TestWithParam<NarrowingCase> {};

TEST_P(NearestFloatTest, RoundsToNearest) {
  const float result = nearest_float(GetParam().value);
  EXPECT_EQ(result, GetParam().expected);
  EXPECT_EQ(std::signbit(result), std::signbit(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(
    Values, NearestFloatTest,
    testing::Values(NarrowingCase{0.45, 0.45f}, NarrowingCase{-0.0, -0.0f},
                    NarrowingCase{1e39, kInf}, NarrowingCase{-1e39, -kInf},
                    NarrowingCase{1e300, kInf}, NarrowingCase{double{kMax}, kMax},
                    // Just past the largest float, still nearer to it than to 2^128.
                    NarrowingCase{0x1.fffffefp127, kMax}, NarrowingCase{-0x1.fffffefp127, -kMax},
                    // Exactly halfway: ties go to the even neighbour, 2^128, which is inf.
                    NarrowingCase{0x1.ffffffp127, kInf}, NarrowingCase{1e-50, 0.0f},
                    NarrowingCase{std::numeric_limits<double>::infinity(), kInf}));

TEST(NearestFloat, KeepsNaN) {
  EXPECT_TRUE(std::isnan(nearest_float(std::numeric_limits<double>::quiet_NaN())));
}

}  // namespace
}  // namespace facetview
