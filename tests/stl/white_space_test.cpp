#include "stl/white_space.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace facetview {
namespace {

std::vector<std::string> words_of(std::string_view line) {
  std::vector<std::string> words;
  WordSplitter splitter(line);
  while (const std::optional<std::string_view> word = splitter.next()) words.emplace_back(*word);
  return words;
}

TEST(WhiteSpace, UnicodePropertyNotByteClass) {
  const char32_t white[] = {0x09,   0x0A,   0x0B,   0x0C,   0x0D,   0x20,   0x85,   0xA0,  0x1680,
                            0x2000, 0x2005, 0x200A, 0x2028, 0x2029, 0x202F, 0x205F, 0x3000};
  const char32_t not_white[] = {0x00,   0x08,   0x1C,   0x1F,   0x21,   0x7F,   0x84,   0x86,
                                0x200B, 0x2027, 0x202A, 0x2060, 0xFEFF, 0x180E, 0x3001, 0x1F600};
  for (const char32_t c : white)
    EXPECT_TRUE(is_white_space(c)) << std::hex << static_cast<std::uint32_t>(c);
  for (const char32_t c : not_white)
    EXPECT_FALSE(is_white_space(c)) << std::hex << static_cast<std::uint32_t>(c);
}

TEST(WordSplitter, SplitsAtRunsOfWhiteSpace) {
  const std::pair<std::string, std::vector<std::string>> cases[] = {
      {"", {}},
      {" \t \r\v\f", {}},
      {"vertex 1 2 3", {"vertex", "1", "2", "3"}},
      {"  solid   my  part   ", {"solid", "my", "part"}},
      {"a\xC2\xA0"
       "b",
       {"a", "b"}},  // no-break space
      {"a\xC2\x85"
       "b\xE1\x9A\x80"
       "c\xE2\x80\x80"
       "d\xE2\x80\xA9"
       "e\xE3\x80\x80",
       {"a", "b", "c", "d", "e"}},
      {"\xE2\x80\x8B"
       "zero\xE2\x80\x8Bwidth",
       {"\xE2\x80\x8B"
        "zero\xE2\x80\x8Bwidth"}},
      {"\xEF\xBB\xBFsolid x", {"\xEF\xBB\xBFsolid", "x"}},  // a byte-order mark is no space
      {"caf\xC3\xA9 \xF0\x9F\x98\x80", {"caf\xC3\xA9", "\xF0\x9F\x98\x80"}},
      {"\x1C"
       "x\x1F",
       {"\x1C"
        "x\x1F"}},
      {"x\r", {"x"}},
  };
  for (const auto& [line, expected] : cases) {
    SCOPED_TRACE(line);
    EXPECT_EQ(words_of(line), expected);
  }
}

}  // namespace
}  // namespace facetview
