#include "common/terminal_text.hpp"

#include <array>
#include <charconv>

namespace facetview {

void append_decimal(std::string& text, std::uint64_t value) {
  std::array<char, 20> digits{};
  const auto result = std::to_chars(digits.data(), digits.data() + digits.size(), value);
  text.append(digits.data(), result.ptr);
}

void append_cursor_position(std::string& text, std::uint32_t row, std::uint32_t column) {
  append_wire_cursor_position(text, std::uint64_t{row} + 1, std::uint64_t{column} + 1);
}

void append_wire_cursor_position(std::string& text, std::uint64_t wire_row,
                                 std::uint64_t wire_column) {
  text += "\x1b[";
  append_decimal(text, wire_row);
  text += ';';
  append_decimal(text, wire_column);
  text += 'H';
}

void append_cursor_forward(std::string& text, std::uint32_t columns) {
  text += "\x1b[";
  // One column is the default, so its count is left out.
  if (columns > 1) append_decimal(text, columns);
  text += 'C';
}

void append_blank_cells(std::string& text, Viewport viewport) {
  // Without line wrapping: cells of a viewport larger than the screen (after it
  // shrank) end at its edge instead of wrapping and scrolling it.
  text += kAutowrapOff;
  text += kAttributesReset;
  for (std::uint32_t row = 0; row < viewport.rows; ++row) {
    append_cursor_position(text, viewport.row + row, viewport.col);
    text.append(viewport.cols, ' ');
  }
  text += kAutowrapOn;
}

}  // namespace facetview
