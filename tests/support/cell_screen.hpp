// A small model of a terminal's character cells, enough to replay what the
// cell-drawing presenters write: cursor positions and forward moves, SGR
// colours (24-bit, 256-colour, reset), synchronized update marks, and the
// characters space and "▀".
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "blocks/palette_256.hpp"

namespace facetview {

struct ScreenCell {
  std::string glyph = " ";
  std::optional<Rgb> foreground;  // unset: the default colour
  std::optional<Rgb> background;
  friend bool operator==(const ScreenCell&, const ScreenCell&) = default;
};

class CellScreen {
 public:
  CellScreen(std::uint32_t cols, std::uint32_t rows) : cols_(cols), cells_(cols * rows) {}

  const ScreenCell& at(std::uint32_t col, std::uint32_t row) const {
    return cells_.at(row * cols_ + col);
  }

  // The two pixels the cell shows, upper first; unset colours stay unset.
  std::pair<std::optional<Rgb>, std::optional<Rgb>> pixels(std::uint32_t col,
                                                           std::uint32_t row) const {
    const ScreenCell& cell = at(col, row);
    if (cell.glyph == " ") return {cell.background, cell.background};
    return {cell.foreground, cell.background};
  }

  void replay(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
      if (text.substr(i, 2) == "\x1b[") {
        const std::size_t end = text.find_first_of("HCmhl", i + 2);
        if (end == std::string_view::npos) throw std::runtime_error("unfinished CSI");
        csi(text.substr(i + 2, end - i - 2), text[end]);
        i = end + 1;
      } else if (text.substr(i, 3) == "\xe2\x96\x80") {
        put("\xe2\x96\x80");
        i += 3;
      } else if (text[i] == ' ') {
        put(" ");
        ++i;
      } else {
        throw std::runtime_error("unexpected byte in cell text");
      }
    }
  }

 private:
  static std::vector<int> numbers(std::string_view parameters) {
    std::vector<int> values;
    int value = 0;
    for (const char c : parameters) {
      if (c == ';') {
        values.push_back(value);
        value = 0;
      } else {
        value = value * 10 + (c - '0');
      }
    }
    values.push_back(value);
    return values;
  }

  void csi(std::string_view parameters, char command) {
    if (command == 'h' || command == 'l') {
      if (parameters != "?2026" && parameters != "?7") throw std::runtime_error("unexpected mode");
      return;
    }
    const std::vector<int> values = numbers(parameters);
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
    for (std::size_t k = 0; k < values.size();) {
      const int code = values[k];
      if (code == 0) {
        foreground_.reset();
        background_.reset();
        ++k;
        continue;
      }
      std::optional<Rgb>& target = code == 38 ? foreground_ : background_;
      if (code != 38 && code != 48) throw std::runtime_error("unexpected SGR");
      if (values.at(k + 1) == 2) {
        target = Rgb{static_cast<std::uint8_t>(values.at(k + 2)),
                     static_cast<std::uint8_t>(values.at(k + 3)),
                     static_cast<std::uint8_t>(values.at(k + 4))};
        k += 5;
      } else {
        target = palette_colour(static_cast<std::uint8_t>(values.at(k + 2)));
        k += 3;
      }
    }
  }

  void put(const char* glyph) {
    ScreenCell& cell = cells_.at(row_ * cols_ + col_);
    cell = ScreenCell{glyph, foreground_, background_};
    ++col_;
  }

  std::uint32_t cols_;
  std::vector<ScreenCell> cells_;
  std::uint32_t row_ = 0;
  std::uint32_t col_ = 0;
  std::optional<Rgb> foreground_;
  std::optional<Rgb> background_;
};

}  // namespace facetview
