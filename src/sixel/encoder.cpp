#include "sixel/encoder.hpp"

#include <sixel.h>

#include <climits>
#include <string>

namespace facetview {

namespace {

// Colour registers that every sixel terminal is assumed to have.
constexpr int palette_size = 256;

Error sixel_error(const char* step, SIXELSTATUS status) {
  return Error(std::string("sixel encoding failed: ") + step + ": " +
               sixel_helper_format_error(status));
}

// libsixel takes int sizes.
bool fits_int(std::uint32_t width, std::uint32_t height) {
  return width <= INT_MAX && height <= INT_MAX && width != 0 && height != 0;
}

// RGB pixels of 3 bytes, width x height of them, with sizes libsixel can take.
bool image_usable(std::span<std::uint8_t> rgb, std::uint32_t width, std::uint32_t height) {
  return fits_int(width, height) && rgb.size() / 3 / width >= height;
}

// libsixel hands the encoded text to this callback piece by piece; target
// points at the string of the image being encoded.
int append_to_string(char* data, int size, void* target) {
  (*static_cast<std::string**>(target))->append(data, static_cast<std::size_t>(size));
  return 0;
}

}  // namespace

struct SixelEncoder::Output {
  sixel_output_t* handle = nullptr;
  std::string* target = nullptr;  // where the callback appends, set per image
  ~Output() {
    if (handle != nullptr) sixel_output_unref(handle);
  }
};

SixelEncoder::SixelEncoder() = default;
SixelEncoder::~SixelEncoder() = default;

void SixelEncoder::DitherDeleter::operator()(sixel_dither* dither) const {
  sixel_dither_unref(dither);
}

Status SixelEncoder::choose_palette(std::span<std::uint8_t> sample, std::uint32_t width,
                                    std::uint32_t height) {
  if (!image_usable(sample, width, height)) {
    return Error("sixel encoding failed: image size out of range");
  }
  sixel_dither_t* raw_dither = nullptr;
  if (const SIXELSTATUS status = sixel_dither_new(&raw_dither, palette_size, nullptr);
      SIXEL_FAILED(status)) {
    return sixel_error("palette", status);
  }
  std::unique_ptr<sixel_dither, DitherDeleter> dither(raw_dither);
  if (const SIXELSTATUS status = sixel_dither_initialize(
          dither.get(), sample.data(), static_cast<int>(width), static_cast<int>(height),
          SIXEL_PIXELFORMAT_RGB888, SIXEL_LARGE_NORM, SIXEL_REP_AVERAGE_PIXELS, SIXEL_QUALITY_LOW);
      SIXEL_FAILED(status)) {
    return sixel_error("palette", status);
  }
  // No error diffusion: the same pixels always give the same sixels, so bands
  // that did not change need not be sent again.
  sixel_dither_set_diffusion_type(dither.get(), SIXEL_DIFFUSE_NONE);
  palette_ = std::move(dither);
  return Status::success();
}

Status SixelEncoder::encode(std::span<std::uint8_t> rgb, std::uint32_t width, std::uint32_t height,
                            std::string& out) {
  if (!image_usable(rgb, width, height)) {
    return Error("sixel encoding failed: image size out of range");
  }
  if (!palette_) return Error("sixel encoding failed: no palette chosen");
  if (!output_) {
    auto output = std::make_unique<Output>();
    if (const SIXELSTATUS status =
            sixel_output_new(&output->handle, append_to_string, &output->target, nullptr);
        SIXEL_FAILED(status)) {
      output->handle = nullptr;
      return sixel_error("output", status);
    }
    output_ = std::move(output);
  }
  output_->target = &out;
  if (const SIXELSTATUS status =
          sixel_encode(rgb.data(), static_cast<int>(width), static_cast<int>(height), 0,
                       palette_.get(), output_->handle);
      SIXEL_FAILED(status)) {
    return sixel_error("encode", status);
  }
  return Status::success();
}

}  // namespace facetview
