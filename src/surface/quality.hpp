// Quality levels: how many pixels a terminal cell gets.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace facetview {

// low, medium and high give a cell a fixed number of pixels within a budget;
// full gives it the terminal's own pixels where they are known, and is high
// where they are not.
enum class Quality : std::uint8_t { low = 0, medium = 1, high = 2, full = 3 };

// "low", "medium", "high" or "full".
std::string_view quality_name(Quality quality);

// Accepts "low", "med", "medium", "high" and "full", compared whole and
// case-sensitively.
std::optional<Quality> parse_quality(std::string_view text);

}  // namespace facetview
