#include "kitty/isal_compressor.hpp"

#include <isa-l/igzip_lib.h>

#include <limits>
#include <string>

namespace facetview {

namespace {

// zlib header (2 bytes) and Adler-32 trailer (4 bytes).
constexpr std::size_t zlib_wrapper_bytes = 6;
// A stored deflate block holds at most 65535 bytes behind a 5-byte header.
constexpr std::size_t stored_block_bytes = 65535;
constexpr std::size_t stored_header_bytes = 5;

// igzip falls back to stored blocks when compression does not pay, so this
// always suffices; the slack covers a final empty block.
std::size_t output_bound(std::size_t input_size) {
  return input_size + (input_size / stored_block_bytes + 2) * stored_header_bytes +
         zlib_wrapper_bytes + 64;
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

  isal_zstream& stream = *stream_;
  isal_deflate_stateless_init(&stream);
  stream.level = level;
  stream.level_buf = level_buffer_.data();
  stream.level_buf_size = static_cast<std::uint32_t>(level_buffer_.size());
  stream.gzip_flag = IGZIP_ZLIB;
  stream.end_of_stream = 1;
  stream.flush = NO_FLUSH;
  // igzip does not write through next_in, it only lacks const in its C interface.
  stream.next_in = const_cast<std::uint8_t*>(input.data());
  stream.avail_in = static_cast<std::uint32_t>(input.size());
  stream.next_out = output_.data();
  stream.avail_out = static_cast<std::uint32_t>(output_.size());

  const int code = isal_deflate_stateless(&stream);
  if (code != COMP_OK) {
    return Error("igzip compression failed with code " + std::to_string(code));
  }
  return std::span<const std::uint8_t>(output_.data(), output_.size() - stream.avail_out);
}

}  // namespace facetview
