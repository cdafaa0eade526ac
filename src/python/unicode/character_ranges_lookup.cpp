#include <algorithm>

#include "python/unicode/character_ranges.hpp"

namespace facetview {

bool in_ranges(std::span<const CodeRange> ranges, char32_t code) {
  // The first range that does not end before code is the only candidate.
  const auto it =
      std::lower_bound(ranges.begin(), ranges.end(), code,
                       [](const CodeRange& range, char32_t c) { return range.last < c; });
  return it != ranges.end() && it->first <= code;
}

}  // namespace facetview
