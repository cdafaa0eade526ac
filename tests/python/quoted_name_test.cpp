#include "python/quoted_name.hpp"

#include <gtest/gtest.h>

#include <string>

namespace facetview {
namespace {

struct QuotedNameCase {
  std::string name;
  std::string quoted;
};

class QuotedNameTest : public testing::TestWithParam<QuotedNameCase> {};

TEST_P(QuotedNameTest, EscapesAsSpecified) {
  EXPECT_EQ(quoted_name(GetParam().name), GetParam().quoted);
}

using namespace std::string_literals;

INSTANTIATE_TEST_SUITE_P(
    Names, QuotedNameTest,
    testing::Values(QuotedNameCase{"demo hull", "\"demo hull\""}, QuotedNameCase{"", "\"\""},
                    QuotedNameCase{"say \"hi\"", "\"say \\\"hi\\\"\""},
                    QuotedNameCase{"a\\b", "\"a\\\\b\""}, QuotedNameCase{"it's", "\"it's\""},
                    QuotedNameCase{"a\0b"s, "\"a\\0b\""}, QuotedNameCase{"\t\r\n", "\"\\t\\r\\n\""},
                    // Other controls, DEL and C1 controls.
                    QuotedNameCase{"\x01\x1b\x7f", "\"\\u{1}\\u{1b}\\u{7f}\""},
                    QuotedNameCase{"\xc2\x85", "\"\\u{85}\""},
                    // Zs other than the space, Zl, Zp, Cf (soft hyphen, zero-width joiner, BOM).
                    QuotedNameCase{"a\xc2\xa0"
                                   "b",
                                   "\"a\\u{a0}b\""},
                    QuotedNameCase{"\xe3\x80\x80", "\"\\u{3000}\""},
                    QuotedNameCase{"\xe2\x80\xa8\xe2\x80\xa9", "\"\\u{2028}\\u{2029}\""},
                    QuotedNameCase{"\xc2\xad\xe2\x80\x8d\xef\xbb\xbf",
                                   "\"\\u{ad}\\u{200d}\\u{feff}\""},
                    // Private use (Co) in the BMP and plane 15, unassigned (Cn).
                    QuotedNameCase{"\xee\x80\x80\xf3\xb0\x80\x80", "\"\\u{e000}\\u{f0000}\""},
                    QuotedNameCase{"\xcd\xb8\xef\xbf\xbf", "\"\\u{378}\\u{ffff}\""},
                    // Grapheme extenders, first or after a base letter.
                    QuotedNameCase{"\xcc\x81"
                                   "e",
                                   "\"\\u{301}e\""},
                    QuotedNameCase{"e\xcc\x81", "\"e\\u{301}\""},
                    QuotedNameCase{"\xe2\x80\x8c", "\"\\u{200c}\""},
                    // Printable non-ASCII text stays as it is.
                    QuotedNameCase{"Gr\xc3\xbc\xc3\x9f"
                                   "e \xe6\xbc\xa2\xe5\xad\x97 \xf0\x9f\x98\x80",
                                   "\"Gr\xc3\xbc\xc3\x9f"
                                   "e \xe6\xbc\xa2\xe5\xad\x97 \xf0\x9f\x98\x80\""},
                    // Bytes that are not UTF-8 show as U+FFFD, which is printable.
                    QuotedNameCase{"a\xff"
                                   "b",
                                   "\"a\xef\xbf\xbd"
                                   "b\""},
                    QuotedNameCase{"\xc0\xaf", "\"\xef\xbf\xbd\xef\xbf\xbd\""},
                    QuotedNameCase{"\xed\xa0\x80", "\"\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\""},
                    QuotedNameCase{"\xe6\xbc", "\"\xef\xbf\xbd\xef\xbf\xbd\""}));

}  // namespace
}  // namespace facetview
