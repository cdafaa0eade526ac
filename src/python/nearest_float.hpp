// Narrowing of Python floats to the 32-bit floats that records store.
#pragma once

namespace facetview {

// The 32-bit float nearest to value, rounding half to even; magnitudes that
// round past the largest finite float become an infinity of the same sign.
// NaN stays NaN.
float nearest_float(double value);

}  // namespace facetview
