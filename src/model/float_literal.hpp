// The numbers of an ASCII STL file.
#pragma once

#include <optional>
#include <string_view>

namespace facetview {

// The 32-bit float nearest to `word` (rounded once), or nothing when the word
// is not a number: an optional sign, then "inf", "infinity" or "nan" in any
// letter case, or decimal digits with at most one point and at least one
// digit, then optionally "e" or "E", an optional sign and at least one digit.
// Magnitudes beyond the float range give infinity, those below it zero.
std::optional<float> parse_float_literal(std::string_view word);

}  // namespace facetview
