#include "common/text_words.hpp"

#include <charconv>

namespace facetview {
namespace {

constexpr std::string_view kBlanks = " \t\n\r\v\f";

}  // namespace

std::optional<std::string_view> LineSplitter::next() {
  if (finished_) return std::nullopt;
  const std::size_t end = rest_.find('\n');
  std::string_view line = rest_.substr(0, end);
  if (end == std::string_view::npos) {
    finished_ = true;
    rest_ = {};
    if (line.empty()) return std::nullopt;
  } else {
    rest_.remove_prefix(end + 1);
    if (line.ends_with('\r')) line.remove_suffix(1);
  }
  ++line_number_;
  return line;
}

std::optional<std::string_view> AsciiWords::next() {
  const std::size_t start = rest_.find_first_not_of(kBlanks);
  if (start == std::string_view::npos) {
    rest_ = {};
    return std::nullopt;
  }
  rest_.remove_prefix(start);
  const std::size_t end = rest_.find_first_of(kBlanks);
  const std::string_view word = rest_.substr(0, end);
  rest_.remove_prefix(word.size());
  return word;
}

std::optional<std::int64_t> parse_integer(std::string_view word) {
  // from_chars takes a "-" but not a "+".
  if (word.starts_with('+')) {
    word.remove_prefix(1);
    if (word.starts_with('-')) return std::nullopt;
  }
  std::int64_t value = 0;
  const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
  if (error != std::errc() || end != word.data() + word.size()) return std::nullopt;
  return value;
}

}  // namespace facetview
