// The one UTF-8 decoder of the system: strict, one sequence at a time, with an
// explicit policy for what a bad sequence turns into.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace facetview {

inline constexpr char32_t kReplacementCharacter = U'\uFFFD';

struct Utf8Sequence {
  char32_t code_point;  // U+FFFD for a bad sequence
  // Bytes of a valid sequence; for a bad one, the bytes a strict decoder takes
  // before giving up (its maximal subpart, at least 1).
  std::size_t length;
  bool valid;
  bool truncated;  // bad only because the bytes end inside a valid beginning
};

// The sequence at the front of bytes, which must not be empty. Overlong forms,
// surrogates and values past U+10FFFF are bad.
Utf8Sequence decode_utf8(std::string_view bytes);

// How many U+FFFD a bad sequence turns into.
enum class Utf8Replacement {
  each_byte,             // one per byte
  each_maximal_subpart,  // one per maximal subpart, as Python's "replace" does
};

// Takes the next code point off the front of text, which must not be empty.
char32_t take_code_point(std::string_view& text, Utf8Replacement replacement);

void append_utf8(std::string& out, char32_t code);

}  // namespace facetview
