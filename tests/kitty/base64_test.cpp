#include "kitty/base64.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "transcript.hpp"

namespace facetview {
namespace {

std::vector<std::uint8_t> bytes_of(std::string_view text) {
  return {text.begin(), text.end()};
}

struct Rfc4648Case {
  std::string_view input;
  std::string_view encoded;
};

class Base64Rfc4648 : public testing::TestWithParam<Rfc4648Case> {};

TEST_P(Base64Rfc4648, EncodesTheTestVector) {
  std::string text;
  base64_encode(bytes_of(GetParam().input), text);
  EXPECT_EQ(text, GetParam().encoded);
  EXPECT_EQ(base64_encoded_size(GetParam().input.size()), GetParam().encoded.size());
}

// The test vectors of RFC 4648, section 10.
INSTANTIATE_TEST_SUITE_P(Vectors, Base64Rfc4648,
                         testing::Values(Rfc4648Case{"", ""}, Rfc4648Case{"f", "Zg=="},
                                         Rfc4648Case{"fo", "Zm8="}, Rfc4648Case{"foo", "Zm9v"},
                                         Rfc4648Case{"foob", "Zm9vYg=="},
                                         Rfc4648Case{"fooba", "Zm9vYmE="},
                                         Rfc4648Case{"foobar", "Zm9vYmFy"}));

TEST(Base64, UsesEveryCharacterOfTheStandardAlphabet) {
  // 0x00 0x10 0x83 ... spells the alphabet in order when read 6 bits at a time.
  std::vector<std::uint8_t> bytes;
  for (std::uint32_t value = 0; value < 64; value += 4) {
    const std::uint32_t group = value << 18 | (value + 1) << 12 | (value + 2) << 6 | (value + 3);
    bytes.push_back(static_cast<std::uint8_t>(group >> 16));
    bytes.push_back(static_cast<std::uint8_t>(group >> 8));
    bytes.push_back(static_cast<std::uint8_t>(group));
  }
  std::string text;
  base64_encode(bytes, text);
  EXPECT_EQ(text, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/");
}

TEST(Base64, RoundTripsEveryByteValueAtEveryPaddingLength) {
  std::string text;
  for (std::size_t size = 0; size <= 259; ++size) {
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(255 - i * 7);
    base64_encode(bytes, text);
    ASSERT_EQ(text.size(), base64_encoded_size(size));
    EXPECT_EQ(decode_base64(text), bytes) << "size " << size;
  }
}

}  // namespace
}  // namespace facetview
