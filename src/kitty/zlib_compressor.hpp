// Compresses buffers into zlib streams (RFC 1950) at level 1, the fastest.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "common/error.hpp"
#include "kitty/compressor.hpp"

namespace facetview {

// Keeps one deflate stream and one output buffer alive across calls: setting up
// a stream per buffer costs more than compressing a small tile.
class ZlibCompressor final : public Compressor {
 public:
  static constexpr int kLevel = 1;

  Result<std::span<const std::uint8_t>> compress(std::span<const std::uint8_t> input) override;

 private:
  // zlib's state points back at its z_stream, so the stream must not move.
  struct StreamEnd {
    void operator()(z_stream* stream) const;
  };

  Status start_stream();

  std::unique_ptr<z_stream, StreamEnd> stream_;
  std::vector<std::uint8_t> output_;
};

}  // namespace facetview
