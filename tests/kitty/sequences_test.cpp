#include "kitty/sequences.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <limits>
#include <string>

#include "recording_output.hpp"

namespace facetview {
namespace {

struct NumberCase {
  std::int64_t value;
  std::string_view text;
};

class SequenceNumbers : public testing::TestWithParam<NumberCase> {};

TEST_P(SequenceNumbers, AreDecimalWithoutPaddingOrPlus) {
  SequenceText text;
  text.append("z=").append_number(GetParam().value);
  EXPECT_EQ(text.view(), "z=" + std::string(GetParam().text));
}

INSTANTIATE_TEST_SUITE_P(
    Values, SequenceNumbers,
    testing::Values(NumberCase{0, "0"}, NumberCase{7, "7"}, NumberCase{-1, "-1"},
                    NumberCase{-1000000000, "-1000000000"}, NumberCase{2147483647, "2147483647"},
                    NumberCase{4294967295, "4294967295"},
                    NumberCase{std::numeric_limits<std::int64_t>::min(), "-9223372036854775808"}));

struct SequenceCase {
  std::string_view name;
  std::function<Status(ByteOutput&)> write;
  std::string_view bytes;
};

class SequenceBytes : public testing::TestWithParam<SequenceCase> {};

TEST_P(SequenceBytes, AreExact) {
  RecordingOutput output;
  ASSERT_TRUE(GetParam().write(output).ok());
  EXPECT_EQ(output.bytes, GetParam().bytes);
  EXPECT_TRUE(output.flushed_at.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, SequenceBytes,
    testing::Values(
        SequenceCase{"cursor_top_left",
                     [](ByteOutput& o) { return write_cursor_position(o, 1, 1); }, "\x1b[1;1H"},
        SequenceCase{"cursor_far",
                     [](ByteOutput& o) { return write_cursor_position(o, 65535, 300); },
                     "\x1b[65535;300H"},
        SequenceCase{"place_lowest",
                     [](ByteOutput& o) { return write_place(o, 1, 8, 4, -1000000000); },
                     "\x1b_Ga=p,q=2,i=1,p=1,c=8,r=4,C=1,z=-1000000000\x1b\\"},
        SequenceCase{"place_highest",
                     [](ByteOutput& o) { return write_place(o, 4294967295u, 1, 2, 2147483647); },
                     "\x1b_Ga=p,q=2,i=4294967295,p=1,c=1,r=2,C=1,z=2147483647\x1b\\"},
        SequenceCase{"delete_image", [](ByteOutput& o) { return write_delete_image(o, 6); },
                     "\x1b_Ga=d,d=I,q=2,i=6\x1b\\"},
        SequenceCase{"transmit_one_chunk",
                     [](ByteOutput& o) { return write_transmit(o, 5, 32, 8, "eJwDAAAAAAE="); },
                     "\x1b_Ga=t,q=2,i=5,f=32,s=32,v=8,o=z,m=0;eJwDAAAAAAE=\x1b\\"}),
    [](const testing::TestParamInfo<SequenceCase>& info) { return std::string(info.param.name); });

// A payload whose every character tells its position modulo 64.
std::string numbered_payload(std::size_t size) {
  static constexpr std::string_view alphabet =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string payload(size, ' ');
  for (std::size_t i = 0; i < size; ++i) payload[i] = alphabet[i % alphabet.size()];
  return payload;
}

struct ChunkCase {
  std::size_t payload_size;
  std::vector<std::size_t> chunk_sizes;
};

class TransmitChunks : public testing::TestWithParam<ChunkCase> {};

TEST_P(TransmitChunks, SplitAt4096CharactersWithMoreFlags) {
  const std::string payload = numbered_payload(GetParam().payload_size);
  RecordingOutput output;
  ASSERT_TRUE(write_transmit(output, 9, 40, 20, payload).ok());

  std::string expected;
  std::size_t offset = 0;
  const std::vector<std::size_t>& sizes = GetParam().chunk_sizes;
  for (std::size_t i = 0; i < sizes.size(); ++i) {
    const std::string more = i + 1 < sizes.size() ? "1" : "0";
    expected +=
        i == 0 ? "\x1b_Ga=t,q=2,i=9,f=32,s=40,v=20,o=z,m=" + more + ";" : "\x1b_Gm=" + more + ";";
    expected += payload.substr(offset, sizes[i]) + "\x1b\\";
    offset += sizes[i];
  }
  ASSERT_EQ(offset, payload.size());
  EXPECT_EQ(output.bytes, expected);
}

INSTANTIATE_TEST_SUITE_P(Boundaries, TransmitChunks,
                         testing::Values(ChunkCase{4, {4}}, ChunkCase{4092, {4092}},
                                         ChunkCase{4096, {4096}}, ChunkCase{4097, {4096, 1}},
                                         ChunkCase{8192, {4096, 4096}},
                                         ChunkCase{8196, {4096, 4096, 4}}));

}  // namespace
}  // namespace facetview
