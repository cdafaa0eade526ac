// Decoding and encoding of UTF-8 text, one code point at a time.
#pragma once

#include <string>
#include <string_view>

namespace facetview {

inline constexpr char32_t replacement_character = U'\uFFFD';

// Takes the next code point off the front of text, which must not be empty.
// A byte that does not start a valid sequence (overlong forms, surrogates and
// values past U+10FFFF included) is taken alone and gives U+FFFD.
char32_t take_code_point(std::string_view& text);

void append_utf8(std::string& out, char32_t code);

}  // namespace facetview
