// Frames as PNG images (libspng).
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

#include "common/error.hpp"

namespace facetview {

// The PNG file (8-bit RGBA, not interlaced) of a row-major RGBA frame of
// width x height pixels; `rgba` holds exactly width * height * 4 bytes.
Result<std::string> encode_png(std::span<const std::uint8_t> rgba, std::uint32_t width,
                               std::uint32_t height);

// Writes `bytes` to the file at `path`, replacing what it held. Fails with
// the operating system's error.
Status write_whole_file(const std::filesystem::path& path, std::string_view bytes);

}  // namespace facetview
