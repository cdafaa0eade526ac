#include "common/utf8.hpp"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <tuple>

namespace facetview {
namespace {

TEST(Utf8, DecodesStrictlyAndMeasuresBadSequences) {
  using Case = std::tuple<std::string_view, char32_t, std::size_t, bool, bool>;
  constexpr char32_t bad = kReplacementCharacter;
  for (const auto& [bytes, code, length, valid, truncated] : {
           Case{"A", U'A', 1, true, false},
           Case{"\xc3\xa9!", U'\u00e9', 2, true, false},
           Case{"\xe2\x82\xac", U'\u20ac', 3, true, false},
           Case{"\xf0\x9f\x98\x80", U'\U0001F600', 4, true, false},
           Case{"\xf4\x8f\xbf\xbf", U'\U0010FFFF', 4, true, false},
           Case{"\x80", bad, 1, false, false},              // a lone continuation byte
           Case{"\xc0\xaf", bad, 1, false, false},          // overlong lead
           Case{"\xe0\x9f\x80", bad, 1, false, false},      // overlong three-byte form
           Case{"\xed\xa0\x80", bad, 1, false, false},      // a surrogate
           Case{"\xf4\x90\x80\x80", bad, 1, false, false},  // past U+10FFFF
           Case{"\xf5\x80\x80\x80", bad, 1, false, false},
           Case{"\xe2\x82\x41", bad, 2, false, false},  // the maximal subpart is two bytes
           Case{"\xf0\x9f\x98", bad, 3, false, true},   // ends inside a valid beginning
           Case{"\xc3", bad, 1, false, true},
       }) {
    const Utf8Sequence sequence = decode_utf8(bytes);
    EXPECT_EQ(std::tuple(sequence.code_point, sequence.length, sequence.valid, sequence.truncated),
              std::tuple(code, length, valid, truncated))
        << bytes;
  }
}

// Decoding then encoding again, under each replacement policy; "?" in the
// expected text stands for U+FFFD.
TEST(Utf8, ReplacesBadSequencesByPolicy) {
  using Case = std::tuple<std::string_view, std::string_view, std::string_view>;
  for (const auto& [bytes, each_byte, each_subpart] : {
           Case{"caf\xc3\xa9", "caf\xc3\xa9", "caf\xc3\xa9"},
           Case{"a\xff", "a?", "a?"},
           Case{"\xe2\x82\x41", "??A", "?A"},
           Case{"\xed\xa0\x80", "???", "???"},
           Case{"x\xf0\x9f\x98", "x???", "x?"},
       }) {
    for (const auto& [policy, expected] :
         {std::pair(Utf8Replacement::each_byte, each_byte),
          std::pair(Utf8Replacement::each_maximal_subpart, each_subpart)}) {
      std::string text, wanted;
      for (std::string_view rest = bytes; !rest.empty();) {
        append_utf8(text, take_code_point(rest, policy));
      }
      for (const char c : expected) wanted += c == '?' ? "\xef\xbf\xbd" : std::string(1, c);
      EXPECT_EQ(text, wanted) << bytes;
    }
  }
}

}  // namespace
}  // namespace facetview
