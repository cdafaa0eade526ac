// Quality levels: how many pixels a terminal cell gets.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace facetview {

enum class Quality : std::uint8_t { low = 0, medium = 1, high = 2 };

// "low", "medium" or "high".
std::string_view quality_name(Quality quality);

// Accepts "low", "med", "medium" and "high", compared whole and case-sensitively.
std::optional<Quality> parse_quality(std::string_view text);

}  // namespace facetview
