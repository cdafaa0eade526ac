#include "surface/quality.hpp"

#include <gtest/gtest.h>

#include <string_view>

namespace facetview {
namespace {

using namespace std::string_view_literals;

struct AcceptedCase {
  std::string_view text;
  Quality quality;
};

class ParseQualityAccepts : public testing::TestWithParam<AcceptedCase> {};

TEST_P(ParseQualityAccepts, GivesTheOrdinal) {
  EXPECT_EQ(parse_quality(GetParam().text), GetParam().quality);
}

INSTANTIATE_TEST_SUITE_P(Names, ParseQualityAccepts,
                         testing::Values(AcceptedCase{"low", Quality::low},
                                         AcceptedCase{"med", Quality::medium},
                                         AcceptedCase{"medium", Quality::medium},
                                         AcceptedCase{"high", Quality::high}));

class ParseQualityRejects : public testing::TestWithParam<std::string_view> {};

TEST_P(ParseQualityRejects, GivesNothing) {
  EXPECT_EQ(parse_quality(GetParam()), std::nullopt);
}

// Whole text, byte for byte: no case folding, trimming or prefix matching.
INSTANTIATE_TEST_SUITE_P(Names, ParseQualityRejects,
                         testing::Values(""sv, "Medium"sv, "HIGH"sv, " low"sv, "low "sv, "ultra"sv,
                                         "lo"sv, "mediu"sv, "medium2"sv, "me"sv, "low\0"sv,
                                         "hi\0gh"sv));

TEST(QualityName, CanonicalNameParsesBackToItsQuality) {
  const struct {
    Quality quality;
    std::string_view name;
  } cases[] = {{Quality::low, "low"}, {Quality::medium, "medium"}, {Quality::high, "high"}};
  for (const auto& c : cases) {
    EXPECT_EQ(quality_name(c.quality), c.name);
    EXPECT_EQ(parse_quality(quality_name(c.quality)), c.quality);
  }
}

}  // namespace
}  // namespace facetview
