// Every compressor the build has, on pictures, noise and edge sizes: the
// streams may differ, what zlib inflates them to may not.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "kitty/compressor.hpp"
#include "kitty/zlib_compressor.hpp"
#if FACETVIEW_HAVE_ISAL
#include "kitty/isal_compressor.hpp"
#endif

namespace facetview {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct CompressorCase {
  std::string name;
  std::function<std::unique_ptr<Compressor>()> make;
};

std::vector<CompressorCase> compressors() {
  std::vector<CompressorCase> cases{
      {"built_in_choice", make_compressor},
      {"zlib", [] { return std::make_unique<ZlibCompressor>(); }},
  };
#if FACETVIEW_HAVE_ISAL
  cases.push_back({"isal", [] { return std::make_unique<IsalCompressor>(); }});
#endif
  return cases;
}

// Inputs that take different paths through a deflate coder: nothing, one
// byte, smooth and flat tiles of the largest cells, noise that only stored
// blocks can hold, and noise spanning several stored blocks.
std::vector<Bytes> inputs() {
  std::mt19937 random(5);
  auto noise = [&](std::size_t size) {
    Bytes bytes(size);
    for (auto& byte : bytes) byte = static_cast<std::uint8_t>(random());
    return bytes;
  };
  Bytes gradient(40 * 40 * 4);
  for (std::size_t i = 0; i < gradient.size(); ++i) {
    gradient[i] = static_cast<std::uint8_t>(i % 4 == 3 ? 255 : i / 4 % 40 * 3 + i / 160);
  }
  Bytes mixed = noise(300000);
  for (std::size_t i = 0; i < mixed.size(); i += 7000) mixed.insert(mixed.begin() + i, 900, 9);
  return {Bytes{}, Bytes{42}, gradient, Bytes(6400, 17), noise(6400), noise(200000), mixed};
}

Bytes inflate_zlib(std::span<const std::uint8_t> stream, std::size_t expected_size) {
  Bytes out(expected_size + 1);
  uLongf size = out.size();
  const int code = uncompress(out.data(), &size, stream.data(), stream.size());
  EXPECT_EQ(code, Z_OK);
  out.resize(code == Z_OK ? size : 0);
  return out;
}

class CompressorTest : public ::testing::TestWithParam<CompressorCase> {};

TEST_P(CompressorTest, StreamsAreZlibAndInflateToTheInput) {
  // The stream of each input from a compressor that made nothing before.
  const std::vector<Bytes> all = inputs();
  std::vector<Bytes> fresh;
  for (const Bytes& input : all) {
    const std::unique_ptr<Compressor> first = GetParam().make();
    const Result<std::span<const std::uint8_t>> stream = first->compress(input);
    ASSERT_TRUE(stream) << stream.error().message();
    fresh.emplace_back(stream->begin(), stream->end());
  }
  // One compressor for every input in turn, forwards and backwards: state
  // must not leak from one stream into the next, not even into its bytes.
  const std::unique_ptr<Compressor> compressor = GetParam().make();
  for (int round = 0; round < 2; ++round) {
    for (std::size_t k = 0; k < fresh.size(); ++k) {
      const std::size_t index = round == 0 ? k : fresh.size() - 1 - k;
      const Bytes& input = all[index];
      SCOPED_TRACE(input.size());
      Result<std::span<const std::uint8_t>> stream = compressor->compress(input);
      ASSERT_TRUE(stream) << stream.error().message();
      ASSERT_GE(stream->size(), 6u);
      // RFC 1950 header: deflate with a window of at most 32 KiB, check bits.
      EXPECT_EQ((*stream)[0] & 0x0f, 8);
      EXPECT_LE((*stream)[0] >> 4, 7);
      EXPECT_EQ(((*stream)[0] * 256 + (*stream)[1]) % 31, 0);
      EXPECT_EQ(inflate_zlib(*stream, input.size()), input);
      EXPECT_TRUE(std::ranges::equal(*stream, fresh[index]));
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Compressors, CompressorTest, ::testing::ValuesIn(compressors()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace facetview
