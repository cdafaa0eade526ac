// Lines, words and integers of the text model formats (OBJ, ASCII PLY), which
// are ASCII: no UTF-8 validation, only the ASCII blanks separate words.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace facetview {

// Hands out the lines of a text in order, split at every line feed; a carriage
// return before the line feed is dropped. Lines are counted from 1.
class LineSplitter {
 public:
  explicit LineSplitter(std::string_view text) : rest_(text) {}

  std::optional<std::string_view> next();
  // The number of the line that next() handed out last.
  std::size_t line_number() const { return line_number_; }
  // What next() has not handed out yet.
  std::string_view rest() const { return rest_; }

 private:
  std::string_view rest_;
  std::size_t line_number_ = 0;
  bool finished_ = false;
};

// Hands out the words of a text in order, split at runs of space, tab, line
// feed, carriage return, vertical tab and form feed; words are never empty.
class AsciiWords {
 public:
  explicit AsciiWords(std::string_view text) : rest_(text) {}

  std::optional<std::string_view> next();
  // What next() has not handed out yet.
  std::string_view rest() const { return rest_; }

 private:
  std::string_view rest_;
};

// The whole word as a decimal integer with an optional sign, or nothing (also
// when it does not fit in 64 bits).
std::optional<std::int64_t> parse_integer(std::string_view word);

}  // namespace facetview
