// Palette quantisation and sixel encoding of one RGB image, done by libsixel.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "common/error.hpp"

struct sixel_dither;

namespace facetview {

class SixelEncoder {
 public:
  SixelEncoder();
  ~SixelEncoder();
  SixelEncoder(const SixelEncoder&) = delete;
  SixelEncoder& operator=(const SixelEncoder&) = delete;

  // Chooses a palette of at most 256 colours for the images that follow from
  // sample, width x height RGB pixels of 3 bytes each.
  Status choose_palette(std::span<std::uint8_t> sample, std::uint32_t width, std::uint32_t height);

  // Appends to out one sixel image (DCS ... ST) of rgb, width x height RGB
  // pixels, in the chosen palette, which it sends in full. Pixel aspect 1:1.
  Status encode(std::span<std::uint8_t> rgb, std::uint32_t width, std::uint32_t height,
                std::string& out);

 private:
  struct Output;
  struct DitherDeleter {
    void operator()(sixel_dither* dither) const;
  };
  std::unique_ptr<Output> output_;  // created on first use
  std::unique_ptr<sixel_dither, DitherDeleter> palette_;
};

}  // namespace facetview
