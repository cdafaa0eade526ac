#include "kitty/isal_compressor.hpp"

#include <isa-l/igzip_lib.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <string>

namespace facetview {

namespace {

// zlib header (2 bytes) and Adler-32 trailer (4 bytes).
constexpr std::size_t kZlibWrapperBytes = 6;
constexpr std::size_t kStoredHeaderBytes = 5;

// igzip's level-1 match finder (ISA-L 2.30, x86-64), when it starts on input
// without history, files the third byte under a hash of the stream's own
// address instead of its bytes (a register there still holds the stream
// pointer), so the matches it finds, and the bytes of the stream, depend on
// where the stream lies in memory. So the first pixel goes out on its own as
// a stored block, and igzip codes the rest with that pixel as its history,
// where the match finder takes no such first step.
constexpr std::size_t kLeadBytes = 4;

// igzip stores a block that does not compress, in pieces of at most 65535
// bytes, and a block ends with the input or after 64 Ki symbols (as many bytes
// at least): one stored header per 16 KiB of input is ample, and the slack
// covers the bits left over between blocks.
std::size_t output_bound(std::size_t input_size) {
  return input_size + (input_size / 16384 + 4) * kStoredHeaderBytes + kZlibWrapperBytes + 64;
}

// A stored block (RFC 1951, 3.2.4) of at most 65535 bytes.
std::uint8_t* write_stored_block(std::uint8_t* out, std::span<const std::uint8_t> bytes,
                                 bool last) {
  const auto size = static_cast<std::uint16_t>(bytes.size());
  const auto complement = static_cast<std::uint16_t>(~size);
  // The final-block bit and type 00, padded to the byte.
  *out++ = last ? 1 : 0;
  *out++ = static_cast<std::uint8_t>(size & 0xff);
  *out++ = static_cast<std::uint8_t>(size >> 8);
  *out++ = static_cast<std::uint8_t>(complement & 0xff);
  *out++ = static_cast<std::uint8_t>(complement >> 8);
  if (!bytes.empty()) std::memcpy(out, bytes.data(), bytes.size());
  return out + bytes.size();
}

Error isal_error(int code) {
  return Error("igzip compression failed with code " + std::to_string(code));
}

}  // namespace

IsalCompressor::IsalCompressor()
    : stream_(std::make_unique<isal_zstream>()), level_buffer_(ISAL_DEF_LVL1_DEFAULT) {}

IsalCompressor::~IsalCompressor() = default;

Result<std::span<const std::uint8_t>> IsalCompressor::compress(
    std::span<const std::uint8_t> input) {
  if (input.size() >= std::numeric_limits<std::uint32_t>::max() - output_bound(0)) {
    return Error("igzip compression failed: input of " + std::to_string(input.size()) +
                 " bytes is too large");
  }
  output_.resize(output_bound(input.size()));
  std::uint8_t* out = output_.data();

  // zlib header: deflate with a 32 KiB window at the fastest level.
  *out++ = 0x78;
  *out++ = 0x01;
  const std::span<const std::uint8_t> lead = input.first(std::min(input.size(), kLeadBytes));
  const std::span<const std::uint8_t> rest = input.subspan(lead.size());
  out = write_stored_block(out, lead, rest.empty());

  if (!rest.empty()) {
    isal_zstream& stream = *stream_;
    isal_deflate_init(&stream);
    stream.level = kLevel;
    stream.level_buf = level_buffer_.data();
    stream.level_buf_size = static_cast<std::uint32_t>(level_buffer_.size());
    stream.gzip_flag = IGZIP_DEFLATE;
    stream.end_of_stream = 1;
    stream.flush = NO_FLUSH;
    // igzip writes through neither pointer, it only lacks const in its C interface.
    auto* history = const_cast<std::uint8_t*>(lead.data());
    if (const int code = isal_deflate_set_dict(&stream, history, lead.size()); code != COMP_OK) {
      return isal_error(code);
    }
    stream.next_in = const_cast<std::uint8_t*>(rest.data());
    stream.avail_in = static_cast<std::uint32_t>(rest.size());
    stream.next_out = out;
    stream.avail_out = static_cast<std::uint32_t>(output_.data() + output_.size() - out);
    if (const int code = isal_deflate(&stream); code != COMP_OK) return isal_error(code);
    // output_bound leaves room for the whole stream, so an unfinished one means
    // igzip misbehaved.
    if (stream.internal_state.state != ZSTATE_END) {
      return Error("igzip compression failed: the stream did not end");
    }
    out = stream.next_out;
  }

  const std::uint32_t adler = isal_adler32(1, input.data(), input.size());
  for (int shift = 24; shift >= 0; shift -= 8) *out++ = static_cast<std::uint8_t>(adler >> shift);
  return std::span<const std::uint8_t>(output_.data(), out);
}

}  // namespace facetview
