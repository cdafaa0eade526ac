#include "kitty/zlib_compressor.hpp"

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <vector>

#include "transcript.hpp"

namespace facetview {
namespace {

enum class Content { gradient, noise };

struct CompressCase {
  std::size_t size;
  Content content;
};

std::vector<std::uint8_t> make_input(CompressCase c) {
  std::vector<std::uint8_t> bytes(c.size);
  std::mt19937 random(7);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    bytes[i] = c.content == Content::gradient ? static_cast<std::uint8_t>(i / 1000)
                                              : static_cast<std::uint8_t>(random());
  }
  return bytes;
}

class ZlibCompressorRoundTrip : public testing::TestWithParam<CompressCase> {};

TEST_P(ZlibCompressorRoundTrip, InflatesBackToTheInput) {
  const std::vector<std::uint8_t> input = make_input(GetParam());
  ZlibCompressor compressor;
  Result<std::span<const std::uint8_t>> compressed = compressor.compress(input);
  ASSERT_TRUE(compressed.ok()) << compressed.error().message();
  EXPECT_EQ(inflate_zlib(*compressed), input);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, ZlibCompressorRoundTrip,
    testing::Values(CompressCase{0, Content::noise}, CompressCase{1, Content::noise},
                    CompressCase{4, Content::noise}, CompressCase{6400, Content::gradient},
                    CompressCase{6400, Content::noise}, CompressCase{1 << 20, Content::gradient},
                    CompressCase{1 << 20, Content::noise}));

TEST(ZlibCompressor, WritesAZlibHeaderMarkedFastest) {
  ZlibCompressor compressor;
  const std::vector<std::uint8_t> input(100, 42);
  Result<std::span<const std::uint8_t>> compressed = compressor.compress(input);
  ASSERT_TRUE(compressed.ok());
  ASSERT_GE(compressed->size(), 2u);
  const unsigned cmf = (*compressed)[0];
  const unsigned flg = (*compressed)[1];
  EXPECT_EQ(cmf & 0x0f, 8u) << "deflate";
  EXPECT_EQ((cmf * 256 + flg) % 31, 0u) << "header check bits";
  EXPECT_EQ(flg >> 6, 0u) << "level 1 is the fastest compression level";
}

TEST(ZlibCompressor, ReusedStreamGivesTheSameBytesAsAFreshOne) {
  const std::vector<std::uint8_t> first = make_input({50000, Content::noise});
  const std::vector<std::uint8_t> second = make_input({6400, Content::gradient});
  ZlibCompressor reused;
  ASSERT_TRUE(reused.compress(first).ok());
  Result<std::span<const std::uint8_t>> again = reused.compress(second);
  ASSERT_TRUE(again.ok());
  const std::vector<std::uint8_t> reused_bytes(again->begin(), again->end());

  ZlibCompressor fresh;
  Result<std::span<const std::uint8_t>> once = fresh.compress(second);
  ASSERT_TRUE(once.ok());
  EXPECT_EQ(reused_bytes, std::vector<std::uint8_t>(once->begin(), once->end()));
}

TEST(ZlibCompressor, SurvivesAMove) {
  ZlibCompressor compressor;
  const std::vector<std::uint8_t> input = make_input({3000, Content::noise});
  ASSERT_TRUE(compressor.compress(input).ok());
  ZlibCompressor moved = std::move(compressor);
  Result<std::span<const std::uint8_t>> compressed = moved.compress(input);
  ASSERT_TRUE(compressed.ok());
  EXPECT_EQ(inflate_zlib(*compressed), input);
}

}  // namespace
}  // namespace facetview
