// zlib streams from ISA-L's igzip at level 1: about half zlib's time for a
// tile, for a few percent more bytes.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "kitty/compressor.hpp"

struct isal_zstream;

namespace facetview {

class IsalCompressor final : public Compressor {
 public:
  static constexpr int kLevel = 1;

  IsalCompressor();
  ~IsalCompressor() override;

  // Inputs of 4 GiB or more are refused: igzip counts bytes in 32 bits.
  Result<std::span<const std::uint8_t>> compress(std::span<const std::uint8_t> input) override;

 private:
  // The stream holds igzip's whole state (some 100 KiB), so it lives on the heap once.
  std::unique_ptr<isal_zstream> stream_;
  std::vector<std::uint8_t> level_buffer_;
  std::vector<std::uint8_t> output_;
};

}  // namespace facetview
