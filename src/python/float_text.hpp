// The text form of 32-bit floats in reprs.
#pragma once

#include <string>

namespace facetview {

// The shortest decimal that reads back as the same float, in positional
// notation without an exponent; whole values have no point ("1", "-0",
// "100000000000000000000"); "NaN", "inf" and "-inf" for the special values.
std::string float_text(float value);

}  // namespace facetview
