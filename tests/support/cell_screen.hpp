// A small model of a terminal's character cells, enough to replay what the
// cell-drawing presenters write: cursor positions and forward moves, SGR
// colours (24-bit, 256-colour, reset), synchronized update and autowrap
// marks, and the characters space and "▀". Anything else throws.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "blocks/palette_256.hpp"

namespace facetview {

class CellScreen {
 public:
  using Colour = std::optional<Rgb>;  // unset: the terminal's default

  CellScreen(std::uint32_t cols, std::uint32_t rows) : cols_(cols), cells_(cols * rows) {}

  // The two pixels the cell shows, upper first.
  std::pair<Colour, Colour> pixels(std::uint32_t col, std::uint32_t row) const {
    const Cell& cell = cells_.at(row * cols_ + col);
    return {cell.block ? cell.foreground : cell.background, cell.background};
  }

  void replay(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
      if (text.substr(i, 2) == "\x1b[") {
        const std::size_t end = text.find_first_of("HCmhl", i + 2);
        if (end == std::string_view::npos) throw std::runtime_error("unfinished CSI");
        csi(text.substr(i + 2, end - i - 2), text[end]);
        i = end + 1;
      } else if (text.substr(i, 3) == "\xe2\x96\x80" || text[i] == ' ') {
        cells_.at(row_ * cols_ + col_++) = Cell{text[i] != ' ', foreground_, background_};
        i += text[i] == ' ' ? 1 : 3;
      } else {
        throw std::runtime_error("unexpected byte in cell text");
      }
    }
  }

 private:
  struct Cell {
    bool block = false;  // "▀" rather than a space
    Colour foreground, background;
  };

  void csi(std::string_view parameters, char command) {
    if (command == 'h' || command == 'l') {
      if (parameters != "?2026" && parameters != "?7") throw std::runtime_error("unexpected mode");
      return;
    }
    std::vector<int> values{0};
    for (const char c : parameters) {
      if (c == ';') values.push_back(0);
      if (c != ';') values.back() = values.back() * 10 + (c - '0');
    }
    if (command == 'H') {
      row_ = static_cast<std::uint32_t>(values.at(0) - 1);
      col_ = static_cast<std::uint32_t>(values.at(1) - 1);
    } else if (command == 'C') {
      col_ += parameters.empty() ? 1 : static_cast<std::uint32_t>(values.at(0));
    } else {
      sgr(values);
    }
  }

  void sgr(const std::vector<int>& values) {
    const auto byte = [&](std::size_t k) { return static_cast<std::uint8_t>(values.at(k)); };
    for (std::size_t k = 0; k < values.size();) {
      const int code = values[k];
      if (code == 0) {
        foreground_.reset(), background_.reset(), ++k;
        continue;
      }
      if (code != 38 && code != 48) throw std::runtime_error("unexpected SGR");
      Colour& target = code == 38 ? foreground_ : background_;
      const bool rgb = values.at(k + 1) == 2;
      target = rgb ? Rgb{byte(k + 2), byte(k + 3), byte(k + 4)} : palette_colour(byte(k + 2));
      k += rgb ? 5 : 3;
    }
  }

  std::uint32_t cols_, row_ = 0, col_ = 0;
  std::vector<Cell> cells_;
  Colour foreground_, background_;
};

}  // namespace facetview
