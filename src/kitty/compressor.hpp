// Compresses a tile's pixels into one zlib stream (RFC 1950) at the fastest
// level.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "common/error.hpp"

namespace facetview {

class Compressor {
 public:
  virtual ~Compressor() = default;

  // Returns one complete zlib stream of input. The bytes stay valid until the
  // next call. Throws std::bad_alloc when out of memory.
  virtual Result<std::span<const std::uint8_t>> compress(std::span<const std::uint8_t> input) = 0;
};

// The compressor of every tile, ISA-L's igzip where the build has it and zlib
// otherwise: the same pixels always give the same bytes.
std::unique_ptr<Compressor> make_compressor();

}  // namespace facetview
