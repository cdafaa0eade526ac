// Quality levels: how many pixels a terminal cell gets.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace facetview {

// low, medium and high give a cell a fixed number of pixels within a budget;
// full gives it the terminal's own pixels where they are known, and is high
// where they are not.
enum class Quality : std::uint8_t { low = 0, medium = 1, high = 2, full = 3 };

// "low", "medium", "high" or "full".
std::string_view quality_name(Quality quality);

// A name that parse_quality accepts, and the quality it stands for.
struct QualityName {
  std::string_view text;
  Quality quality;
};

// "low", "med", "medium", "high" and "full".
std::span<const QualityName> accepted_quality_names();

// Accepts the names of accepted_quality_names, compared whole and case-sensitively.
std::optional<Quality> parse_quality(std::string_view text);

}  // namespace facetview
