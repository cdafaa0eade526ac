// Words of a line of text, split at the characters that Unicode calls
// White_Space.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace facetview {

// True for the code points with the Unicode White_Space property.
bool is_white_space(char32_t code_point);

// Hands out the words of one line of valid UTF-8 text in order; words are
// never empty.
class WordSplitter {
 public:
  explicit WordSplitter(std::string_view line) : line_(line) {}

  std::optional<std::string_view> next();

 private:
  // Length in bytes of the white-space character at `position`, a byte of
  // 0x80 or above, or 0 when the character there is not white space.
  std::size_t non_ascii_white_space_length(std::size_t position) const;
  // Length in bytes of the character that starts at `position`.
  std::size_t character_length(std::size_t position) const;

  std::string_view line_;
  std::size_t position_ = 0;
};

}  // namespace facetview
