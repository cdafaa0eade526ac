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

TEST(ZlibCompressor, ReusedStreamMatchesAFreshLevelOneCompression) {
  const std::vector<std::uint8_t> first = make_input({50000, Content::noise});
  const std::vector<std::uint8_t> second = make_input({6400, Content::gradient});
  ZlibCompressor compressor;
  ASSERT_TRUE(compressor.compress(first).ok());
  Result<std::span<const std::uint8_t>> reused = compressor.compress(second);
  ASSERT_TRUE(reused.ok());

  std::vector<std::uint8_t> fresh(compressBound(second.size()));
  uLongf fresh_size = fresh.size();
  ASSERT_EQ(compress2(fresh.data(), &fresh_size, second.data(), second.size(), 1), Z_OK);
  fresh.resize(fresh_size);
  EXPECT_EQ(std::vector<std::uint8_t>(reused->begin(), reused->end()), fresh);
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
