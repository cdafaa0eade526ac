#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <utility>

#include "python/float_text.hpp"
#include "python/quoted_name.hpp"

namespace facetview {
namespace {

using Limits = std::numeric_limits<float>;
using namespace std::string_literals;

// Plain values such as 0.45 and 1 are seen in the reprs of the Python tests.
TEST(FloatText, WritesShortestPositionalText) {
  const std::pair<float, const char*> cases[] = {
      {-0.0f, "-0"},
      {-12.5f, "-12.5"},
      {1e20f, "100000000000000000000"},
      {1.5e-7f, "0.00000015"},
      {Limits::max(), "340282350000000000000000000000000000000"},
      {Limits::denorm_min(), "0.000000000000000000000000000000000000000000001"},
      {-Limits::quiet_NaN(), "NaN"},
      {Limits::infinity(), "inf"},
      {-Limits::infinity(), "-inf"}};
  for (const auto& [value, text] : cases) EXPECT_EQ(float_text(value), text);
}

TEST(QuotedName, EscapesWhatIsNotPrintable) {
  const std::pair<std::string, std::string> cases[] = {
      {"", "\"\""},
      {"say \"hi\" a\\b it's", "\"say \\\"hi\\\" a\\\\b it's\""},
      {"a\0b\t\r\n"s, "\"a\\0b\\t\\r\\n\""},
      // Other controls, DEL and a C1 control.
      {"\x01\x1b\x7f\xc2\x85", "\"\\u{1}\\u{1b}\\u{7f}\\u{85}\""},
      // Zs other than the space, Zl, Zp; Cf (soft hyphen, ZWJ, BOM); private use; unassigned.
      {"a\xc2\xa0\xe3\x80\x80\xe2\x80\xa8\xe2\x80\xa9", "\"a\\u{a0}\\u{3000}\\u{2028}\\u{2029}\""},
      {"\xc2\xad\xe2\x80\x8d\xef\xbb\xbf", "\"\\u{ad}\\u{200d}\\u{feff}\""},
      {"\xee\x80\x80\xcd\xb8", "\"\\u{e000}\\u{378}\""},
      // Grapheme extenders, first or after a base letter.
      {"\xcc\x81xe\xcc\x81", "\"\\u{301}xe\\u{301}\""},
      // Printable non-ASCII text stays as it is.
      {"\xc3\xa9t\xc3\xa9 \xe6\xbc\xa2 \xf0\x9f\x98\x80",
       "\"\xc3\xa9t\xc3\xa9 \xe6\xbc\xa2 \xf0\x9f\x98\x80\""},
      // Bytes that are not UTF-8 show as U+FFFD, which is printable.
      {"a\xff", "\"a\xef\xbf\xbd\""},
      {"\xed\xa0\x80", "\"\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\""}};
  for (const auto& [name, quoted] : cases) EXPECT_EQ(quoted_name(name), quoted);
}

}  // namespace
}  // namespace facetview
