#include "stl/utf8.hpp"

#include <gtest/gtest.h>

using namespace std::string_literals;

namespace facetview {
namespace {

struct FaultCase {
  std::string bytes;
  std::string expected;  // cause text, or "" for valid input
};

TEST(Utf8, FindsTheFirstFault) {
  const FaultCase cases[] = {
      {"", ""},
      {"plain ASCII text that is longer than eight bytes", ""},
      {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80 \xF4\x8F\xBF\xBF", ""},
      {"\xED\x9F\xBF\xEE\x80\x80", ""},  // U+D7FF and U+E000 around the surrogates
      {"abc\x80", "invalid utf-8 sequence of 1 bytes from index 3"},
      {"\xBF", "invalid utf-8 sequence of 1 bytes from index 0"},
      {"\xC0\xAF", "invalid utf-8 sequence of 1 bytes from index 0"},
      {"\xC1\xBF", "invalid utf-8 sequence of 1 bytes from index 0"},
      {"\xF5\x80\x80\x80", "invalid utf-8 sequence of 1 bytes from index 0"},
      {"\xFF", "invalid utf-8 sequence of 1 bytes from index 0"},
      {"x\xC3(", "invalid utf-8 sequence of 1 bytes from index 1"},
      {"\xE2\x82"
       "A",
       "invalid utf-8 sequence of 2 bytes from index 0"},
      {"\xE0\x80\x80", "invalid utf-8 sequence of 1 bytes from index 0"},
      {"\xE0\x9F\xBF", "invalid utf-8 sequence of 1 bytes from index 0"},
      {"\xED\xA0\x80", "invalid utf-8 sequence of 1 bytes from index 0"},
      {"\xED\xBF\xBF", "invalid utf-8 sequence of 1 bytes from index 0"},
      {"\xF0\x80\x80\x80", "invalid utf-8 sequence of 1 bytes from index 0"},
      {"\xF0\x8F\xBF\xBF", "invalid utf-8 sequence of 1 bytes from index 0"},
      {"\xF4\x90\x80\x80", "invalid utf-8 sequence of 1 bytes from index 0"},
      {"\xF0\x9F\x98(", "invalid utf-8 sequence of 3 bytes from index 0"},
      {"\xF0\x9F(", "invalid utf-8 sequence of 2 bytes from index 0"},
      {"0123456789\xF0\x9F\x98\x80\xE2\x82", "incomplete utf-8 byte sequence from index 14"},
      {"\xC3", "incomplete utf-8 byte sequence from index 0"},
      {"ab\xF0\x9F\x98", "incomplete utf-8 byte sequence from index 2"},
      {"nul\0byte\x80"s, "invalid utf-8 sequence of 1 bytes from index 8"},
  };
  for (const FaultCase& c : cases) {
    SCOPED_TRACE(c.bytes);
    const std::optional<Utf8Fault> fault = find_utf8_fault(c.bytes);
    if (c.expected.empty()) {
      EXPECT_FALSE(fault.has_value());
      continue;
    }
    ASSERT_TRUE(fault.has_value());
    EXPECT_EQ(utf8_fault_error(*fault).message(), c.expected);
    EXPECT_EQ(utf8_fault_error(*fault).cause(), nullptr);
  }
}

TEST(Utf8, LossyConversionReplacesEachBadSequence) {
  const std::pair<std::string, std::string> cases[] = {
      {"models/part.stl", "models/part.stl"},
      {"a\xFF"
       "b",
       "a\xEF\xBF\xBD"
       "b"},
      {"\xE2\x82"
       "A\x80",
       "\xEF\xBF\xBD"
       "A\xEF\xBF\xBD"},
      {"\xC0\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD"},
      {"end\xF0\x9F\x98", "end\xEF\xBF\xBD"},
      {"\xC3\xA9", "\xC3\xA9"},
  };
  for (const auto& [bytes, expected] : cases) {
    SCOPED_TRACE(bytes);
    EXPECT_EQ(to_utf8_lossy(bytes), expected);
  }
}

}  // namespace
}  // namespace facetview
