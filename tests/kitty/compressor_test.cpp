// Every compressor the build has, on pictures, noise and edge sizes: the
// streams may differ from one library to another, what zlib inflates them to
// may not, and for one library they depend on the input alone.
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
// blocks can hold, and noise spanning several stored blocks. Then short ones
// whose 4-byte sequences at offsets 0, 1 and 2 each come back on their own,
// so that their streams show where the coder filed the first positions in its
// match table; shifting the bytes moves them to other slots.
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
  std::vector<Bytes> all{Bytes{},     Bytes{42},     gradient, Bytes(6400, 17),
                         noise(6400), noise(200000), mixed};
  const std::string recurring_start = "ABCDEFG.xBCDEy.zCDEFw.ABCDEF!";
  for (int shift = 0; shift < 48; shift += 3) {
    Bytes& bytes = all.emplace_back();
    for (const char c : recurring_start) bytes.push_back(static_cast<std::uint8_t>(c + shift));
  }
  return all;
}

class CompressorTest : public ::testing::TestWithParam<CompressorCase> {};

TEST_P(CompressorTest, StreamsAreZlibOfTheInputAlone) {
  const std::vector<Bytes> all = inputs();
  // Compressors alive together lie at different places in memory.
  std::vector<std::unique_ptr<Compressor>> compressors;
  for (int k = 0; k < 8; ++k) compressors.push_back(GetParam().make());
  std::vector<Bytes> first;
  for (const Bytes& input : all) {
    SCOPED_TRACE(input.size());
    Result<std::span<const std::uint8_t>> stream = compressors[0]->compress(input);
    ASSERT_TRUE(stream) << stream.error().message();
    ASSERT_GE(stream->size(), 6u);
    // RFC 1950 header: deflate with a window of at most 32 KiB, check bits.
    EXPECT_EQ((*stream)[0] & 0x0f, 8);
    EXPECT_LE((*stream)[0] >> 4, 7);
    EXPECT_EQ(((*stream)[0] * 256 + (*stream)[1]) % 31, 0);
    Bytes inflated(input.size() + 1);
    uLongf size = inflated.size();
    EXPECT_EQ(uncompress(inflated.data(), &size, stream->data(), stream->size()), Z_OK);
    EXPECT_EQ(Bytes(inflated.begin(), inflated.begin() + size), input);
    first.emplace_back(stream->begin(), stream->end());
  }
  // The others take the inputs backwards or forwards: neither what a
  // compressor made before nor where it lies may show in the bytes.
  for (std::size_t k = 1; k < compressors.size(); ++k) {
    for (std::size_t j = 0; j < all.size(); ++j) {
      const std::size_t index = k % 2 == 1 ? all.size() - 1 - j : j;
      SCOPED_TRACE(testing::Message() << "compressor " << k << ", input " << index);
      Result<std::span<const std::uint8_t>> stream = compressors[k]->compress(all[index]);
      ASSERT_TRUE(stream) << stream.error().message();
      EXPECT_TRUE(std::ranges::equal(*stream, first[index]));
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Compressors, CompressorTest, ::testing::ValuesIn(compressors()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace facetview
