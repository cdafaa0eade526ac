#include "stl/white_space.hpp"

#include <gtest/gtest.h>

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
      {"a\xE2\x80\x8A"
       "b\xE2\x80\xA8"
       "c\xE2\x80\xAF"
       "d\xE2\x81\x9F"
       "e",
       {"a", "b", "c", "d", "e"}},
      {"a\xE1\xA0\x8E"
       "b",
       {"a\xE1\xA0\x8E"
        "b"}},  // U+180E lost the property
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
