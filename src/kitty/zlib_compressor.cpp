#include "kitty/zlib_compressor.hpp"

#include <algorithm>
#include <limits>
#include <new>
#include <string>

namespace facetview {

namespace {

// The usual 32 KiB window, so that the stream's header is the common one.
constexpr int kWindowBits = 15;
// One below zlib's default: the hash table that deflateReset clears for every
// tile shrinks to 32 KiB, while the symbol buffer still holds a whole tile of
// the largest cells (40 x 40 pixels) in one block.
constexpr int kMemoryLevel = 7;

// zlib counts bytes in unsigned int, so larger buffers go in and out in pieces.
constexpr std::size_t kMaxPiece = std::numeric_limits<uInt>::max();

Error zlib_error(int code) {
  return Error("zlib compression failed with code " + std::to_string(code));
}

}  // namespace

void ZlibCompressor::StreamEnd::operator()(z_stream* stream) const {
  deflateEnd(stream);
  delete stream;
}

Status ZlibCompressor::start_stream() {
  if (stream_) {
    const int code = deflateReset(stream_.get());
    if (code == Z_OK) return Status::success();
    stream_.reset();
    return zlib_error(code);
  }
  auto stream = std::make_unique<z_stream>();
  const int code =
      deflateInit2(stream.get(), kLevel, Z_DEFLATED, kWindowBits, kMemoryLevel, Z_DEFAULT_STRATEGY);
  if (code == Z_MEM_ERROR) throw std::bad_alloc();
  if (code != Z_OK) return zlib_error(code);
  stream_.reset(stream.release());
  return Status::success();
}

Result<std::span<const std::uint8_t>> ZlibCompressor::compress(
    std::span<const std::uint8_t> input) {
  if (Status started = start_stream(); !started) return std::move(started).error();
  z_stream& stream = *stream_;
  output_.resize(deflateBound(&stream, input.size()));

  // zlib does not write through next_in, it only lacks const in its C interface.
  stream.next_in = const_cast<Bytef*>(input.data());
  stream.next_out = output_.data();
  std::size_t in_left = input.size();
  std::size_t out_left = output_.size();
  int code = Z_OK;
  while (code != Z_STREAM_END) {
    const auto in_piece = static_cast<uInt>(std::min(in_left, kMaxPiece));
    const auto out_piece = static_cast<uInt>(std::min(out_left, kMaxPiece));
    stream.avail_in = in_piece;
    stream.avail_out = out_piece;
    code = deflate(&stream, in_piece == in_left ? Z_FINISH : Z_NO_FLUSH);
    in_left -= in_piece - stream.avail_in;
    out_left -= out_piece - stream.avail_out;
    // deflateBound leaves room for the whole stream, so running out of output
    // space means zlib misbehaved; stop rather than loop forever.
    if (code != Z_OK && code != Z_STREAM_END) return zlib_error(code);
    if (code == Z_OK && out_left == 0) return zlib_error(Z_BUF_ERROR);
  }
  return std::span<const std::uint8_t>(output_.data(), output_.size() - out_left);
}

}  // namespace facetview
