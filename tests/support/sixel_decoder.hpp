// Decodes one sixel image (ESC P ... q ... ESC \) as a terminal paints it:
// raster attributes give the size, colours are percentages, pixels never set
// stay empty. Enough of the format for what the presenter writes.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "common/rgba.hpp"

namespace facetview::testing {

struct SixelPicture {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::vector<std::optional<Rgb>> pixels;  // row-major

  std::optional<Rgb> at(std::uint32_t x, std::uint32_t y) const {
    return pixels.at(std::size_t{y} * width + x);
  }
};

// Numbers separated by ';' from text[at]; at ends on the first other byte.
inline std::vector<std::uint32_t> read_numbers(std::string_view text, std::size_t& at) {
  std::vector<std::uint32_t> numbers{0};
  for (; at < text.size(); ++at) {
    const char c = text[at];
    if (c >= '0' && c <= '9') {
      numbers.back() = numbers.back() * 10 + static_cast<std::uint32_t>(c - '0');
    } else if (c == ';') {
      numbers.push_back(0);
    } else {
      break;
    }
  }
  return numbers;
}

inline std::optional<SixelPicture> decode_sixel(std::string_view image) {
  std::size_t at = image.find('q');
  if (!image.starts_with("\x1bP") || at == std::string_view::npos || !image.ends_with("\x1b\\")) {
    return std::nullopt;
  }
  ++at;
  const std::string_view data = image.substr(0, image.size() - 2);
  SixelPicture picture;
  std::vector<Rgb> registers(256);
  std::size_t colour = 0;
  std::uint32_t x = 0, band = 0;
  while (at < data.size()) {
    const char c = data[at];
    if (c == '"') {
      const std::vector<std::uint32_t> raster = read_numbers(data, ++at);
      if (raster.size() != 4) return std::nullopt;
      picture.width = raster[2];
      picture.height = raster[3];
      picture.pixels.assign(std::size_t{picture.width} * picture.height, std::nullopt);
    } else if (c == '#') {
      const std::vector<std::uint32_t> entry = read_numbers(data, ++at);
      if (entry[0] >= registers.size()) return std::nullopt;
      colour = entry[0];
      if (entry.size() == 5) {
        if (entry[1] != 2 || entry[2] > 100 || entry[3] > 100 || entry[4] > 100)
          return std::nullopt;
        const auto shown = [](std::uint32_t percent) {
          return static_cast<std::uint8_t>((percent * 255 + 50) / 100);
        };
        registers[colour] = {shown(entry[2]), shown(entry[3]), shown(entry[4])};
      } else if (entry.size() != 1) {
        return std::nullopt;
      }
    } else if (c == '$') {
      x = 0;
      ++at;
    } else if (c == '-') {
      x = 0;
      band += 6;
      ++at;
    } else {
      std::uint32_t repeat = 1;
      if (c == '!') repeat = read_numbers(data, ++at)[0];
      if (at >= data.size() || data[at] < '?' || data[at] > '~') return std::nullopt;
      const std::uint32_t bits = static_cast<std::uint32_t>(data[at] - '?');
      for (std::uint32_t step = 0; step < repeat; ++step, ++x) {
        for (std::uint32_t line = 0; line < 6; ++line) {
          if ((bits >> line & 1) == 0) continue;
          if (x >= picture.width || band + line >= picture.height) return std::nullopt;
          picture.pixels[std::size_t{band + line} * picture.width + x] = registers[colour];
        }
      }
      ++at;
    }
  }
  return picture;
}

}  // namespace facetview::testing
